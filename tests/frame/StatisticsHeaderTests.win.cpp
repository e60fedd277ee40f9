// The run header as Windows produces it, read back from the statistics file:
// the system information in its order, then the uninstall registry of both
// roots, each in both views on 64-bit Windows (64-bit first), with a test
// entry's values in the dump format.
#include "LogTestKit.h"

#include "frame/DebugLog.h"
#include "platform/Registry.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <regex>

namespace velmora::testing {
namespace {

using ::testing::UnorderedElementsAre;

constexpr std::wstring_view Uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::vector<std::wstring> ResetAndReadHeader() {
    fs::path file(StatisticsLog::Instance().FileName());
    std::error_code error;
    auto size = fs::file_size(file, error);
    StatisticsLog::Reset();
    std::vector<std::wstring> texts;
    size_t prefix = StatisticsLog::Instance().ModuleName().size();
    for (auto& line : ReadLines(file, error ? 0 : static_cast<std::streamoff>(size)))
        texts.push_back(RecordText(line, prefix));
    return texts;
}

// An uninstall entry that exists for one test.
class TestEntry {
public:
    TestEntry(TRegRoot root, TRegView view, std::wstring name) : FRoot(root), FView(view) {
        FCreatedParent = !KeyExists(root, Uninstall, view);
        FPath = std::wstring(Uninstall) + L"\\" + name;
        Key = TRegKey::Create(root, FPath, KEY_READ | KEY_WRITE, view);
    }
    ~TestEntry() {
        Key = TRegKey();
        DeleteKey(FRoot, FPath, FView);
        if (FCreatedParent)
            DeleteKey(FRoot, Uninstall, FView);
    }
    std::wstring Text(std::wstring_view below = {}) const {
        std::wstring path = FPath;
        if (!below.empty())
            path.append(L"\\").append(below);
        return RegistryKeyToStr(FView, FRoot, path);
    }
    TRegKey Key;

private:
    TRegRoot FRoot;
    TRegView FView;
    std::wstring FPath;
    bool FCreatedParent = false;
};

size_t IndexOf(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

TEST(StatisticsHeader, SystemInformationComesFirstInItsOrder) {
    auto texts = ResetAndReadHeader();
    std::wstring separator(80, L'-');
    ASSERT_GE(texts.size(), 16u);
    size_t k = 0;
    EXPECT_EQ(texts[k++], separator);
    EXPECT_TRUE(texts[k++].starts_with(L"System info at "));
    EXPECT_EQ(texts[k++], separator);
    EXPECT_TRUE(texts[k++].starts_with(L"Version:        Windows ")) << Narrow(texts[k - 1]);
    EXPECT_EQ(texts[k++], L"Architecture:   x64");
    EXPECT_TRUE(texts[k++].starts_with(L"Service Pack:   "));
    EXPECT_TRUE(texts[k++].starts_with(L"Edition:        "));
    for (const wchar_t* dll : {L"shlwapi.dll", L"shell32.dll", L"comctl32.dll"}) {
        EXPECT_TRUE(std::regex_match(texts[k], std::wregex(std::wstring(dll) + LR"(: \d+\.\d+)")))
            << Narrow(texts[k]);
        ++k;
    }
    EXPECT_EQ(texts[k++], L"IsWow64Process: False");
    EXPECT_EQ(texts[k++], separator);
    EXPECT_TRUE(texts[k].starts_with(L"User name       : ") && texts[k].size() > 18) << Narrow(texts[k]);
    ++k;
    EXPECT_TRUE(texts[k] == L"User is admin   : True" || texts[k] == L"User is admin   : False");
    ++k;
    // This test program carries a version resource (StatisticsHeaderTests.rc):
    // the library's product version and the host's file version come from it.
    EXPECT_EQ(texts[k++], L"Product version : 5.0 test");
    EXPECT_EQ(texts[k++], L"Program version : 7.6.5.4");
    EXPECT_EQ(texts[k++], separator);
    EXPECT_EQ(texts.back(), separator);
}

TEST(StatisticsHeader, DumpsTheUninstallEntriesOfBothRootsAndViews) {
    std::wstring name = UniqueName(L"VelmoraHeaderTest");
    TestEntry machine(TRegRoot::LocalMachine, TRegView::x64, name + L"-machine");
    TestEntry machine32(TRegRoot::LocalMachine, TRegView::x32, name + L"-machine32");
    TestEntry user(TRegRoot::CurrentUser, TRegView::x64, name + L"-user");
    ASSERT_TRUE(machine.Key && machine32.Key && user.Key);
    ASSERT_TRUE(user.Key.WriteString(L"DisplayName", L"Sample App"));
    ASSERT_TRUE(user.Key.WriteNumber(L"EstimatedSize", 42));
    ASSERT_TRUE(user.Key.WriteMultiString(L"Languages", {L"en-US", L"de-DE"}));
    ASSERT_TRUE(user.Key.WriteBinary(L"Blob", "\x01\x02", 2));
    TRegKey child = user.Key.CreateSubKey(L"Child");
    ASSERT_TRUE(child && child.WriteString(L"Note", L"nested \"quoted\""));
    child = TRegKey();

    auto texts = ResetAndReadHeader();
    std::wstring separator(80, L'-');

    // Every dump line lies between the system information and the last separator.
    size_t dumpStart = 0;
    for (int separators = 0; dumpStart < texts.size() && separators < 4; ++dumpStart)
        separators += texts[dumpStart] == separator ? 1 : 0;
    ASSERT_EQ(texts.back(), separator);

    size_t machineRoot = IndexOf(texts, RegistryKeyToStr(TRegView::x64, TRegRoot::LocalMachine, Uninstall));
    size_t machine32Root = IndexOf(texts, RegistryKeyToStr(TRegView::x32, TRegRoot::LocalMachine, Uninstall));
    size_t userRoot = IndexOf(texts, RegistryKeyToStr(TRegView::x64, TRegRoot::CurrentUser, Uninstall));
    size_t machineEntry = IndexOf(texts, machine.Text());
    size_t machine32Entry = IndexOf(texts, machine32.Text());
    size_t userEntry = IndexOf(texts, user.Text());
    ASSERT_LT(userEntry, texts.size());
    EXPECT_EQ(machineRoot, dumpStart);
    EXPECT_LT(machineRoot, machineEntry);
    EXPECT_LT(machineEntry, machine32Root);
    EXPECT_LT(machine32Root, machine32Entry);
    EXPECT_LT(machine32Entry, userRoot);
    EXPECT_LT(userRoot, userEntry);

    // The entry's string, number and multi-string values, then an empty line,
    // then its subkey; a binary value is not shown.
    auto blank = std::find(texts.begin() + userEntry, texts.end(), L"");
    std::vector<std::wstring> values(texts.begin() + userEntry + 1, blank);
    EXPECT_THAT(values, UnorderedElementsAre(L"DisplayName (REG_SZ) = \"Sample App\"",
                                             L"EstimatedSize (REG_DWORD) = \"42\"",
                                             L"Languages (REG_MULTISZ) = \"en-US, de-DE\""));
    ASSERT_LT(blank + 3, texts.end());
    EXPECT_EQ(*(blank + 1), user.Text(L"Child"));
    EXPECT_EQ(*(blank + 2), L"Note (REG_SZ) = \"nested \"quoted\"\"");
    EXPECT_EQ(*(blank + 3), L"");
}

} // namespace
} // namespace velmora::testing
