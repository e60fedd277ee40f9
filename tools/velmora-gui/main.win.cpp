// velmora-gui.exe: the desktop front end of VelmoraHelper.dll. Like the
// console front end it loads the library from its own folder and uses
// nothing but its exports and interfaces.
//   velmora-gui.exe [--view programs|updates|unused|features]
//                   [--screenshot FILE.png]
//                   [--self-test REPORT [--expect NAME | --switch TITLE... | --force-remove NAME |
//                                        --action uninstall|forget NAME...]]
#include "platform/ComObject.h"
#include "platform/Format.h"
#include "platform/LibraryLoader.h"
#include "platform/Module.h"
#include "tools/velmora-gui/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace velmora::gui {

namespace {

constexpr wchar_t kLibrary[] = L"VelmoraHelper.dll";

int Usage(const std::wstring& error) {
    MessageBoxW(nullptr,
                (error + L"\n\nvelmora-gui.exe [--view programs|updates|unused|features] "
                         L"[--screenshot FILE.png]\n"
                         L"[--self-test REPORT [--expect NAME | --switch TITLE... | --force-remove NAME |\n"
                         L"                      --action uninstall|forget NAME...]]")
                    .c_str(),
                L"velmora-gui", MB_OK | MB_ICONERROR);
    return 64;
}

// The library may be unloaded once it says so; its threads may take a moment.
HRESULT WaitUntilUnloadable(HMODULE library) {
    auto canUnload = ModuleFunction<TDllCanUnloadNow>(library, "DllCanUnloadNow");
    if (!canUnload)
        return E_FAIL;
    HRESULT hr = canUnload();
    for (ULONGLONG deadline = GetTickCount64() + 10000; hr != S_OK && GetTickCount64() < deadline;
         hr = canUnload())
        Sleep(20);
    return hr;
}

int Run(int argc, wchar_t** argv) {
    TView view = TView::Programs;
    TAutomation automation;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--view" && hasValue) {
            std::wstring name = argv[++i];
            const wchar_t* names[] = {L"programs", L"updates", L"unused", L"features"};
            auto found = std::find(std::begin(names), std::end(names), name);
            if (found == std::end(names))
                return Usage(L"Unknown view: " + name);
            view = static_cast<TView>(found - std::begin(names));
        } else if (arg == L"--screenshot" && hasValue) {
            automation.ScreenshotFile = argv[++i];
        } else if (arg == L"--self-test" && hasValue) {
            automation.ReportFile = argv[++i];
        } else if (arg == L"--expect" && hasValue) {
            automation.ExpectName = argv[++i];
        } else if (arg == L"--switch" && hasValue) {
            automation.SwitchTitles.push_back(argv[++i]);
        } else if (arg == L"--force-remove" && hasValue) {
            automation.ForceRemoveName = argv[++i];
        } else if (arg == L"--action" && i + 2 < argc &&
                   (std::wstring_view(argv[i + 1]) == L"uninstall" ||
                    std::wstring_view(argv[i + 1]) == L"forget")) {
            automation.Actions.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
        } else {
            return Usage(L"Unknown argument: " + arg);
        }
    }

    HMODULE library = DllRoutines::Load(kLibrary);
    TComPtr<IVelmora> root;
    if (!library ||
        !DllRoutines::GetInstance(kLibrary, __uuidof(IVelmora), reinterpret_cast<void**>(root.put())) ||
        !root) {
        MessageBoxW(nullptr, Format(L"Cannot load %s%s.", ThisModuleFolder(), kLibrary).c_str(),
                    L"velmora-gui", MB_OK | MB_ICONERROR);
        return 3;
    }
    int code = RunMainWindow(*root, view, automation);
    root.reset();
    const HRESULT unload = WaitUntilUnloadable(library);
    if (!automation.ReportFile.empty())
        if (FILE* file = _wfopen(automation.ReportFile.c_str(), L"ab")) {
            fprintf(file, "unload\t0x%08lx\n", static_cast<unsigned long>(unload));
            fclose(file);
        }
    return code != 0 ? code : unload == S_OK ? 0 : 4;
}

} // namespace

} // namespace velmora::gui

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Per-monitor awareness comes from the manifest; this covers a system
    // that reads only the older setting.
    using TSetAwarenessContext = BOOL(WINAPI*)(HANDLE);
    if (auto set =
            velmora::ModuleFunction<TSetAwarenessContext>(L"user32.dll", "SetProcessDpiAwarenessContext"))
        set(reinterpret_cast<HANDLE>(-4)); // per monitor, version 2
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                                       ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    velmora::TComApartmentGuard com;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int code = velmora::gui::Run(argc, argv);
    LocalFree(argv);
    return code;
}
