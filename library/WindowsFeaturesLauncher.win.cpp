#include "library/WindowsFeaturesLauncher.h"

#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/ProcessList.h"
#include "platform/Text.h"

namespace velmora {

namespace {

struct TTool {
    std::wstring Path;
    std::wstring Parameters;
};

// The first tool that exists, newest first; the last candidate is used
// without checking.
TTool ChooseTool(const std::wstring& systemFolder) {
    std::wstring features = Format(L"%sOptionalFeatures.exe", systemFolder);
    if (FileExists(features))
        return {features, L""};
    std::wstring sysoc = Format(L"%sSysocmgr.exe", systemFolder);
    if (FileExists(sysoc))
        return {sysoc, L"/i:%windir%\\inf\\sysoc.inf"};
    return {Format(L"%sCompMgmtLauncher.exe", systemFolder), L""};
}

// The component tool holds a mutex named "sysoc" while it runs.
bool ComponentToolRunning() {
    unique_handle mutex(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"sysoc"));
    return static_cast<bool>(mutex);
}

} // namespace

void LaunchWindowsFeatures() {
    TWow64FsRedirectionGuard redirection;
    std::wstring systemFolder = IncludeTrailingBackslash(SystemFolder());
    TTool tool = ChooseTool(systemFolder);
    if (ComponentToolRunning()) {
        std::wstring name = LowerCase(ExtractFileName(Format(L"%sSysocmgr.exe", systemFolder)));
        auto running = FindProcesses(name);
        if (!running.empty())
            running.front().ShowWindow();
        return;
    }
    CreateProcessAsLUAUser(tool.Path, ExpandEnvironment(tool.Parameters), SW_SHOWNORMAL);
}

} // namespace velmora
