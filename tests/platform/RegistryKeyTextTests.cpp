#include "platform/RegistryKeyText.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace velmora;

namespace {

struct TParsed {
    TRegView View = TRegView::Default;
    TRegRoot Root = TRegRoot::ClassesRoot;
    std::wstring Path;
    bool Ok = false;
};

TParsed Parse(std::wstring_view text) {
    TParsed p;
    p.Ok = ExtractKeyParams(text, p.View, p.Root, p.Path);
    return p;
}

} // namespace

TEST(RegistryKeyText, RoundTripGivesViewRootAndPathWithoutTrailingBackslash) {
    EXPECT_EQ(RegistryKeyToStr(TRegView::x32, TRegRoot::CurrentUser, L"Software\\App\\"),
              L"(x32)HKEY_CURRENT_USER\\Software\\App\\");
    EXPECT_EQ(RegistryKeyToStr(TRegView::Default, TRegRoot::Users, L""), L"HKEY_USERS");
    for (auto view : {TRegView::Default, TRegView::x32, TRegView::x64})
        for (auto root : {TRegRoot::ClassesRoot, TRegRoot::CurrentUser, TRegRoot::LocalMachine,
                          TRegRoot::Users, TRegRoot::CurrentConfig})
            for (std::wstring path : {L"", L"Software\\Microsoft\\", L"A\\B C\\(x64)\\D"}) {
                std::wstring text = RegistryKeyToStr(view, root, path);
                TParsed p = Parse(text);
                ASSERT_TRUE(p.Ok) << text;
                EXPECT_EQ(p.View, view) << text;
                EXPECT_EQ(p.Root, root) << text;
                if (path.ends_with(L'\\'))
                    path.pop_back();
                EXPECT_EQ(p.Path, path) << text;
            }
}

TEST(RegistryKeyText, ParsingAcceptsShortRootNamesAnyCaseAndStraySeparators) {
    const struct {
        std::wstring_view Text;
        TRegView View;
        TRegRoot Root;
        std::wstring_view Path;
    } cases[] = {
        {L"hklm\\SOFTWARE\\Microsoft\\", TRegView::Default, TRegRoot::LocalMachine, L"SOFTWARE\\Microsoft"},
        {L"HkCr\\.txt", TRegView::Default, TRegRoot::ClassesRoot, L".txt"},
        {L"HKU\\S-1-5-18", TRegView::Default, TRegRoot::Users, L"S-1-5-18"},
        {L"(X32)Hkey_Local_Machine\\\\Software\\\\", TRegView::x32, TRegRoot::LocalMachine, L"Software"},
        {L"(x64)HKEY_CURRENT_USER\\", TRegView::x64, TRegRoot::CurrentUser, L""},
    };
    for (const auto& c : cases) {
        TParsed p = Parse(c.Text);
        ASSERT_TRUE(p.Ok) << std::wstring(c.Text);
        EXPECT_EQ(p.View, c.View) << std::wstring(c.Text);
        EXPECT_EQ(p.Root, c.Root) << std::wstring(c.Text);
        EXPECT_EQ(p.Path, c.Path) << std::wstring(c.Text);
    }
}

TEST(RegistryKeyText, RejectsTextWithoutAKnownRootAndLeavesOutputsAlone) {
    for (std::wstring_view bad : {L"", L"(x64)", L"HKEY_LOCAL_MACHINEX\\Software", L"Software\\Microsoft",
                                  L"(x86)HKLM\\Software", L" HKLM\\Software"}) {
        TParsed p;
        p.Path = L"unchanged";
        EXPECT_FALSE(ExtractKeyParams(bad, p.View, p.Root, p.Path)) << std::wstring(bad);
        EXPECT_EQ(p.Path, L"unchanged") << std::wstring(bad);
    }
}

TEST(RegistryKeyText, SameKeyIgnoresCaseTrailingSeparatorAndRootSpelling) {
    EXPECT_TRUE(SameRegistryKey(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\", L"hklm\\software\\microsoft"));
    EXPECT_TRUE(SameRegistryKey(L"(x32)HKCU\\A", L"(X32)HKEY_CURRENT_USER\\a\\"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"(x64)HKLM\\A"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"HKCU\\A"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"HKLM\\A\\B"));
    EXPECT_TRUE(SameRegistryKey(L"Software\\A\\", L"software\\a"));
}
