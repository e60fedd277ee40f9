#include "TwoPrograms.h"

#include "platform/ComObject.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "tests/Polling.h"
#include "tests/platform/ScratchKit.h"

#include <gtest/gtest.h>

#include <shobjidl.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace velmora::testing {

namespace fs = std::filesystem;

namespace {

using TToUnix = char*(CDECL*)(LPCWSTR);
using TToDos = WCHAR*(CDECL*)(LPCSTR);

std::string UnixPath(const std::wstring& path) {
    auto toUnix = ModuleFunction<TToUnix>(L"kernel32.dll", "wine_get_unix_file_name");
    if (!toUnix)
        throw std::runtime_error("not running under Wine");
    char* unix = toUnix(ExcludeTrailingBackslash(path).c_str());
    if (!unix)
        throw std::runtime_error("no Unix path for " + Narrow(path));
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Starts one of the host's own tools with Unix paths as arguments. Wine
// hands back no usable handle of a Unix process: callers wait for its effect.
void StartHostTool(const char* tool, const std::vector<std::string>& arguments) {
    auto toDos = ModuleFunction<TToDos>(L"kernel32.dll", "wine_get_dos_file_name");
    ASSERT_NE(toDos, nullptr);
    WCHAR* dos = toDos(tool);
    ASSERT_NE(dos, nullptr);
    std::wstring program(dos);
    HeapFree(GetProcessHeap(), 0, dos);
    std::wstring commandLine = Widen(tool);
    for (const auto& argument : arguments)
        commandLine += L" \"" + Widen(argument) + L"\"";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
}

std::wstring In(const std::wstring& base, std::initializer_list<std::wstring_view> parts) {
    std::wstring path = IncludeTrailingBackslash(base);
    for (auto part : parts)
        path += std::wstring(part) + L"\\";
    return path;
}

} // namespace

bool Listed(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW(ExcludeTrailingBackslash(path).c_str(), &data);
    if (found == INVALID_HANDLE_VALUE)
        return false;
    FindClose(found);
    return true;
}

void MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    StartHostTool("/bin/ln", {"-s", UnixPath(target), UnixPath(link)});
    ASSERT_TRUE(WaitUntil([&] { return Listed(link); })) << Narrow(link);
}

void RemoveLink(const std::wstring& link) {
    StartHostTool("/bin/rm", {"-f", UnixPath(link)});
    EXPECT_TRUE(WaitUntil([&] { return !Listed(link); })) << Narrow(link);
}

void WriteShortcut(const std::wstring& linkFile, const std::wstring& target) {
    fs::create_directories(fs::path(linkFile).parent_path());
    TComApartmentGuard com;
    TComPtr<IShellLinkW> link;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(link.put()))));
    ASSERT_TRUE(SUCCEEDED(link->SetPath(target.c_str())));
    TComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))));
    ASSERT_TRUE(SUCCEEDED(file->Save(linkFile.c_str(), TRUE)));
}

std::wstring TTwoPrograms::WriteFile(const std::wstring& path, size_t size) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(fs::path(path), std::ios::binary) << std::string(size, 'x');
    return path;
}

TTwoPrograms::TTwoPrograms()
    : Vendor(UniqueName(L"VelmoraScan")), NameA(Vendor + L" Alpha"), NameB(Vendor + L" Beta"),
      InstallA(In(ProgramFilesFolder(), {Vendor, L"A"})), InstallB(In(ProgramFilesFolder(), {Vendor, L"B"})),
      RoamingA(In(AppDataFolder(), {Vendor, NameA})), RoamingB(In(AppDataFolder(), {Vendor, NameB})),
      LocalA(In(LocalAppDataFolder(), {Vendor, L"Cache", NameA})),
      CommonOtherCaseA(In(CommonAppDataFolder(), {Vendor, UpperCase(NameA)})), LinkInA(InstallA + L"shared") {
    for (const auto& base :
         {ProgramFilesFolder(), AppDataFolder(), LocalAppDataFolder(), CommonAppDataFolder()})
        FVendorFolders.push_back(In(base, {Vendor}));
    AExe = WriteFile(InstallA + L"a.exe", 100);
    ADll = WriteFile(InstallA + L"lib\\a.dll", 200);
    BExe = WriteFile(InstallB + L"b.exe", 300);
    BData = WriteFile(InstallB + L"data\\b.dat", 400);
    RoamingAFile = WriteFile(RoamingA + L"settings.ini", 10);
    RoamingBFile = WriteFile(RoamingB + L"settings.ini", 20);
    LocalAFile = WriteFile(LocalA + L"cache.bin", 30);
    CommonOtherCaseFile = WriteFile(CommonOtherCaseA + L"shared.bin", 40);
    MakeFolderLink(LinkInA, InstallB + L"data");
    FLinks.push_back(LinkInA);
}

TTwoPrograms::~TTwoPrograms() {
    for (const auto& link : FLinks)
        RemoveLink(link);
    std::error_code ignored;
    for (const auto& folder : FVendorFolders)
        fs::remove_all(fs::path(folder), ignored);
}

} // namespace velmora::testing
