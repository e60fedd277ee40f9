#include "VendorMachine.h"

#include "platform/Format.h"
#include "platform/Paths.h"
#include "platform/PathText.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>

namespace velmora::testing {

namespace fs = std::filesystem;

TUninstallEntry::TUninstallEntry(const std::wstring& displayName, const std::wstring& installLocation,
                                 const std::wstring& publisher)
    : KeyPath(std::wstring(UninstallKey) + L"\\" + displayName) {
    const TRegKey key = TRegKey::Create(TRegRoot::LocalMachine, KeyPath, KEY_WRITE, TRegView::x64);
    const bool written =
        key.WriteString(L"DisplayName", displayName) &&
        key.WriteString(L"InstallLocation", installLocation) && key.WriteString(L"Publisher", publisher) &&
        key.WriteNumber(L"EstimatedSize", 64) &&
        key.WriteString(L"UninstallString",
                        L"\"" + IncludeTrailingBackslash(installLocation) + L"uninstall.exe\" /remove");
    if (!written)
        ADD_FAILURE() << "uninstall entry not written: " << Narrow(KeyPath);
}

TUninstallEntry::~TUninstallEntry() {
    DeleteKey(TRegRoot::LocalMachine, KeyPath, TRegView::x64);
}

bool TUninstallEntry::Exists() const {
    return static_cast<bool>(TRegKey::Open(TRegRoot::LocalMachine, KeyPath, KEY_READ, TRegView::x64));
}

TSharedDllCount::TSharedDllCount(std::wstring path, DWORD count) : Path(std::move(path)) {
    if (!TRegKey::Create(TRegRoot::LocalMachine, SharedDllsKey, KEY_WRITE, TRegView::x64)
             .WriteNumber(Path, count))
        ADD_FAILURE() << "shared-DLL count not written: " << Narrow(Path);
}

TSharedDllCount::~TSharedDllCount() {
    TRegKey::Open(TRegRoot::LocalMachine, SharedDllsKey, KEY_WRITE, TRegView::x64).DeleteValue(Path);
}

std::optional<DWORD> TSharedDllCount::Count() const {
    return TRegKey::Open(TRegRoot::LocalMachine, SharedDllsKey, KEY_READ, TRegView::x64).ReadNumber(Path);
}

TVendorMachine::TVendorMachine()
    : EntryA(Programs.NameA, Programs.InstallA, Programs.Vendor),
      EntryB(Programs.NameB, Programs.InstallB, Programs.Vendor),
      MenuFolder(IncludeTrailingBackslash(SpecialFolder(CSIDL_COMMON_PROGRAMS)) + Programs.Vendor + L"\\"),
      MenuA(MenuFolder + L"A.lnk"), MenuB(MenuFolder + L"B.lnk"),
      DesktopA(IncludeTrailingBackslash(SpecialFolder(CSIDL_DESKTOPDIRECTORY)) + Programs.NameA + L".lnk"),
      DesktopB(IncludeTrailingBackslash(SpecialFolder(CSIDL_DESKTOPDIRECTORY)) + Programs.NameB + L".lnk"),
      PublicDesktopA(IncludeTrailingBackslash(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY)) + Programs.NameA +
                     L" for all.lnk"),
      PublicDesktopB(IncludeTrailingBackslash(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY)) + Programs.NameB +
                     L" for all.lnk"),
      ServiceA(L"\"" + TTwoPrograms::WriteFile(Programs.InstallA + L"a-agent.exe", 500) + L"\" -service"),
      ServiceB(L"\"" + TTwoPrograms::WriteFile(Programs.InstallB + L"b-agent.exe", 700) + L"\" -service"),
      SharedTwiceA(UpperCase(TTwoPrograms::WriteFile(Programs.InstallA + L"common.dll", 800)), 2),
      SharedOnceA(TTwoPrograms::WriteFile(Programs.InstallA + L"alpha-runtime.dll", 900), 1),
      SharedOnceB(TTwoPrograms::WriteFile(Programs.InstallB + L"beta-runtime.dll", 1000), 1),
      ProcessA(Programs.InstallA) {
    WriteShortcut(MenuA, Programs.AExe);
    WriteShortcut(MenuB, Programs.BExe);
    WriteShortcut(DesktopA, Programs.AExe);
    WriteShortcut(DesktopB, Programs.BExe);
    WriteShortcut(PublicDesktopA, Programs.AExe);
    WriteShortcut(PublicDesktopB, Programs.BExe);
}

TVendorMachine::~TVendorMachine() {
    std::error_code ignored;
    for (const auto& path : {MenuFolder, DesktopA, DesktopB, PublicDesktopA, PublicDesktopB})
        fs::remove_all(fs::path(path), ignored);
}

} // namespace velmora::testing
