#include "msi/MsiRules.h"
#include "tests/TestBase.h"

#include <climits>

using namespace velmora;

TEST(MsiRules, LongNamesAndPackedCodes) {
    // A long name is the part after the first bar; a code is packed only when braced.
    const struct {
        std::wstring (*Rule)(std::wstring_view);
        const wchar_t *In, *Out;
    } cases[] = {
        {MsiLongName, L"ENGINE~1.TXT|Engine notes.txt", L"Engine notes.txt"},
        {MsiLongName, L"plain.txt", L"plain.txt"},
        {MsiLongName, L"A|B|C", L"B|C"},
        {PackedUpgradeCode, L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", L"87654321CBA90FED21436587A9CBED0F"},
        {PackedUpgradeCode, L"0129291E-3E57-4F54-9F4A-E3A7DC6B3C22", L"0129291E-3E57-4F54-9F4A-E3A7DC6B3C22"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Rule(c.In), c.Out) << c.In;
}

TEST(MsiRules, RegistryRowsMapRootsAndNames) {
    EXPECT_EQ(MsiRegistryRootName(MsiRegistryRoot(3)), L"HKEY_USERS");
    for (int32_t other : {-1, 4, INT_MIN /* a null column */})
        EXPECT_EQ(MsiRegistryRoot(other), TMsiRegistryRoot::LocalMachine) << other;
    // Whole-key marks give an empty recursive name; key creation and default
    // value rows are skipped; anything else is a value name.
    std::vector<std::wstring> names;
    for (auto text : {L"*", L"-", L"+", L"", L"InstallDir", L"**", L"-x"}) {
        auto name = MsiRegistryName(text);
        names.push_back(!name             ? L"skipped"
                        : name->Recursive ? L"whole key" + name->ValueName
                                          : name->ValueName);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"whole key", L"whole key", L"skipped", L"skipped",
                                                L"InstallDir", L"**", L"-x"}));
}
