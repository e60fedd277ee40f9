#include "platform/RegistryKeyText.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace velmora;

namespace {

// Whether the text parsed, and into what; the path is left "unchanged" when not.
std::tuple<bool, TRegView, TRegRoot, std::wstring> Parse(std::wstring_view text) {
    TRegView view = TRegView::Default;
    TRegRoot root = TRegRoot::ClassesRoot;
    std::wstring path = L"unchanged";
    const bool ok = ExtractKeyParams(text, view, root, path);
    return {ok, view, root, path};
}

} // namespace

TEST(RegistryKeyText, ParsingAndComparisonOfKeyTexts) {
    struct TCase {
        std::wstring Text;
        TRegView View;
        TRegRoot Root;
        std::wstring Path;
    };
    const TCase cases[] = {
        {L"hklm\\SOFTWARE\\Microsoft\\", TRegView::Default, TRegRoot::LocalMachine, L"SOFTWARE\\Microsoft"},
        {L"(X32)Hkey_Local_Machine\\\\Software\\\\", TRegView::x32, TRegRoot::LocalMachine, L"Software"},
        {L"(x64)HKEY_CURRENT_USER\\", TRegView::x64, TRegRoot::CurrentUser, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse(c.Text), std::tuple(true, c.View, c.Root, c.Path)) << c.Text;
    for (std::wstring_view bad : {L"", L"(x64)", L"HKEY_LOCAL_MACHINEX\\Software", L"(x86)HKLM\\Software"})
        EXPECT_EQ(Parse(bad), std::tuple(false, TRegView::Default, TRegRoot::ClassesRoot, L"unchanged"))
            << std::wstring(bad);
    // Same key whatever the case, trailing separator and root spelling.
    EXPECT_TRUE(SameRegistryKey(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\", L"hklm\\software\\microsoft"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"(x64)HKLM\\A"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"HKLM\\A\\B"));
}

TEST(RegistryKeyText, EveryKeyWrittenAsTextParsesBackToItself) {
    const std::wstring paths[] = {
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6F1C2A10-3B7E-4C55-9A0D-2E51A7B0E001}_"
        L"is1",
        L"Software\\Odd (x64) name\\[brackets], commas & spaces\\", // trailing separator
        L"\\Leading\\Separator",
        L"Software\\\u00dcnic\u00f8de\\\u041f\u0443\u0442\u044c",
        L"HKLM\\looks like a root",
        L"",
    };
    for (TRegView view : {TRegView::Default, TRegView::x32, TRegView::x64})
        for (TRegRoot root : {TRegRoot::ClassesRoot, TRegRoot::CurrentUser, TRegRoot::LocalMachine,
                              TRegRoot::Users, TRegRoot::CurrentConfig})
            for (const std::wstring& path : paths) {
                std::wstring text = RegistryKeyToStr(view, root, path);
                std::wstring trimmed = path.substr(path.find_first_not_of(L'\\') == std::wstring::npos
                                                       ? path.size()
                                                       : path.find_first_not_of(L'\\'));
                while (!trimmed.empty() && trimmed.back() == L'\\')
                    trimmed.pop_back();
                EXPECT_EQ(Parse(text), std::tuple(true, view, root, trimmed)) << text;
            }
    // The text carries the view prefix, the canonical root and the path as given.
    EXPECT_EQ(RegistryKeyToStr(TRegView::x64, TRegRoot::LocalMachine, L"Software\\A\\"),
              L"(x64)HKEY_LOCAL_MACHINE\\Software\\A\\");
    EXPECT_EQ(RegistryKeyToStr(TRegView::Default, TRegRoot::Users, L""), L"HKEY_USERS");
}

TEST(RegistryKeyText, TypedKeyWritesItsPathAsGivenAndReadsBackAsTheSameKey) {
    const TRegistryKey key{TRegView::x64, TRegRoot::CurrentUser, L"Software\\Installer\\Products\\00AB\\"};
    EXPECT_EQ(key.Text(), L"(x64)HKEY_CURRENT_USER\\Software\\Installer\\Products\\00AB\\");
    auto parsed = TRegistryKey::FromText(key.Text());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Path, L"Software\\Installer\\Products\\00AB");
    EXPECT_TRUE(parsed->SameKey(key));
    EXPECT_TRUE(key.SameKey({TRegView::x64, TRegRoot::CurrentUser, L"software\\INSTALLER\\products\\00ab"}));
    EXPECT_FALSE(key.SameKey({TRegView::x32, TRegRoot::CurrentUser, key.Path}));
    EXPECT_FALSE(key.SameKey({TRegView::x64, TRegRoot::LocalMachine, key.Path}));
    EXPECT_FALSE(key.SameKey({TRegView::x64, TRegRoot::CurrentUser, key.Path + L"Patches"}));
    EXPECT_FALSE(TRegistryKey::FromText(L"(x64)Software\\Installer"));
}
