// Run in prefixes that report different Windows versions; the expected one
// comes as "--expect-version=<winecfg name>" on the command line.
#include "platform/OSInfo.h"

#include "platform/Registry.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>

using namespace velmora;

namespace {

std::wstring ExpectedVersion() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring found;
    const std::wstring_view option = L"--expect-version=";
    for (int i = 1; i < argc; ++i)
        if (StartsWithText(argv[i], option))
            found = std::wstring(argv[i]).substr(option.size());
    LocalFree(argv);
    return found;
}

struct TExpectation {
    std::wstring_view WinecfgName;
    TWindowsVersion Generation;
    std::wstring_view Name;
    bool Vista, Seven, Eight, EightOne, Ten;
};

const TExpectation Expectations[] = {
    {L"winxp64", TWindowsVersion::wvXP, L"Windows XP", false, false, false, false, false},
    {L"vista", TWindowsVersion::wvVista, L"Windows Vista", true, false, false, false, false},
    {L"win7", TWindowsVersion::wv7, L"Windows 7", true, true, false, false, false},
    {L"win8", TWindowsVersion::wv8, L"Windows 8", true, true, true, false, false},
    {L"win81", TWindowsVersion::wv81, L"Windows 8.1", true, true, true, true, false},
    {L"win10", TWindowsVersion::wv10, L"Windows 10", true, true, true, true, true},
};

std::wstring UniqueName() {
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

} // namespace

TEST(OSInfo, GenerationAndPredicatesMatchTheReportedVersion) {
    std::wstring expected = ExpectedVersion();
    if (expected.empty())
        GTEST_SKIP() << "no --expect-version given";
    const TExpectation* e = nullptr;
    for (const auto& candidate : Expectations)
        if (SameText(candidate.WinecfgName, expected))
            e = &candidate;
    ASSERT_NE(e, nullptr) << "unknown version " << expected;

    const TOSVersionData& v = OSVersion();
    EXPECT_EQ(WindowsVersion(), e->Generation) << v.Major << "." << v.Minor << "." << v.Build;
    EXPECT_EQ(WindowsVersionText(), e->Name);
    EXPECT_EQ(IsWindowsVistaOrLater(), e->Vista);
    EXPECT_EQ(IsWindows7OrLater(), e->Seven);
    EXPECT_EQ(IsWindows8OrLater(), e->Eight);
    EXPECT_EQ(IsWindows81OrLater(), e->EightOne);
    EXPECT_EQ(IsWindows10OrLater(), e->Ten);
    // The product-information function exists only from Vista on; the
    // edition then comes from the product type.
    EXPECT_FALSE(EditionText().empty());
    if (!e->Vista) {
        EXPECT_EQ(EditionText(), ProductTypeName(v.ProductType));
    }
}

TEST(OSInfo, VersionIsNotCappedByTheMissingManifest) {
    // GetVersionExW stops at 6.2 for an executable without a manifest.
    OSVERSIONINFOW capped{};
    capped.dwOSVersionInfoSize = sizeof capped;
    ASSERT_TRUE(GetVersionExW(&capped));
    const TOSVersionData& v = OSVersion();
    EXPECT_GE(std::pair(v.Major, v.Minor),
              std::pair(uint32_t(capped.dwMajorVersion), uint32_t(capped.dwMinorVersion)));
    EXPECT_GT(v.Build, 0u);
}

TEST(OSInfo, ProcessIsA64BitProcessOn64BitWindows) {
    EXPECT_EQ(ArchitectureText(), L"x64");
    EXPECT_FALSE(IsWow64Process());
    EXPECT_TRUE(Is64BitWindows());
    // A no-op for a 64-bit process; the guard nests and leaves the file system usable.
    {
        TWow64FsRedirectionGuard outer;
        TWow64FsRedirectionGuard inner;
        wchar_t system[MAX_PATH];
        ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
        EXPECT_NE(GetFileAttributesW((std::wstring(system) + L"\\kernel32.dll").c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }
}

TEST(OSInfo, UserNameSidAndAdministratorsMembership) {
    wchar_t variable[256];
    DWORD n = GetEnvironmentVariableW(L"USERNAME", variable, 256);
    ASSERT_GT(n, 0u);
    EXPECT_TRUE(SameText(UserName(), variable));

    std::wstring sid = UserSID();
    EXPECT_TRUE(StartsWithText(sid, L"S-1-5-")) << sid;
    // The user's hive is loaded under HKEY_USERS by its SID.
    EXPECT_TRUE(KeyExists(TRegRoot::Users, sid)) << sid;

    EXPECT_EQ(IsUserAdmin(), static_cast<bool>(IsUserAnAdmin()));
    // Elevation implies membership of the Administrators group.
    if (IsProcessElevated()) {
        EXPECT_TRUE(IsUserAdmin());
    }
}

TEST(OSInfo, WindowsPEIsRecognisedByTheMiniNTKey) {
    EXPECT_FALSE(IsWindowsPE());
    // Redirect HKEY_LOCAL_MACHINE for this process only to a scratch key, so
    // no other process sharing the prefix sees a Windows PE machine.
    std::wstring scratch = L"Software\\VelmoraTests\\" + UniqueName();
    TRegKey fake = TRegKey::Create(TRegRoot::CurrentUser, scratch);
    ASSERT_TRUE(fake);
    ASSERT_TRUE(fake.CreateSubKey(L"SYSTEM\\CurrentControlSet\\Control\\MiniNT"));
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, fake.Handle()), ERROR_SUCCESS);
    bool pe = IsWindowsPE();
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    EXPECT_TRUE(pe);
    EXPECT_FALSE(IsWindowsPE());
    fake = {};
    EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, scratch));
}

TEST(OSInfo, ProcessStartsForTheInteractiveUser) {
    wchar_t system[MAX_PATH], temp[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring marker = std::wstring(temp) + L"velmora-" + UniqueName();
    std::wstring cmd = std::wstring(system) + L"\\cmd.exe";

    unique_handle process;
    ASSERT_TRUE(CreateProcessAsLUAUser(cmd, L"/c mkdir \"" + marker + L"\"", SW_HIDE, &process));
    ASSERT_TRUE(process);
    ASSERT_EQ(WaitForSingleObject(process.get(), 30000), DWORD(WAIT_OBJECT_0));
    DWORD exitCode = 1;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    DWORD attributes = GetFileAttributesW(marker.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(marker.c_str());

    EXPECT_FALSE(CreateProcessAsLUAUser(std::wstring(system) + L"\\no-such-program.exe", L"", SW_HIDE));
}
