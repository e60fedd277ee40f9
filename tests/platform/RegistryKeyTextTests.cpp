#include "platform/RegistryKeyText.h"
#include "tests/TestBase.h"

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
    for (std::wstring_view bad :
         {L"", L"(x64)", L"(x64)Software\\A", L"HKEY_LOCAL_MACHINEX\\Software", L"(x86)HKLM\\Software"})
        EXPECT_EQ(Parse(bad), std::tuple(false, TRegView::Default, TRegRoot::ClassesRoot, L"unchanged"))
            << std::wstring(bad);
    // Same key whatever the case, trailing separator and root spelling; not
    // in another view or root, nor a longer path; texts naming no root compare as text.
    const std::tuple<std::wstring_view, std::wstring_view, bool> pairs[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\", L"hklm\\software\\microsoft", true},
        {L"(x64)HKEY_CURRENT_USER\\Products\\00AB\\", L"(X64)hkey_current_user\\PRODUCTS\\00ab", true},
        {L"HKLM\\A", L"(x64)HKLM\\A", false},
        {L"(x32)HKLM\\A", L"(x64)HKLM\\A", false},
        {L"HKEY_CURRENT_USER\\A", L"HKLM\\A", false},
        {L"HKLM\\A", L"HKLM\\A\\B", false},
        {L"HKLM\\Products\\00AB", L"HKLM\\Products\\00ABPatches", false},
        {L"Software\\X\\", L"software\\x", true},
        {L"Software\\X", L"HKLM\\Software\\X", false},
    };
    for (const auto& [a, b, same] : pairs)
        EXPECT_EQ(SameRegistryKey(a, b), same) << std::wstring(a) << " " << std::wstring(b);
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
