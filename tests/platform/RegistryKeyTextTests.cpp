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

TEST(RegistryKeyText, WritesPrefixCanonicalRootAndPathAsGiven) {
    EXPECT_EQ(RegistryKeyToStr(TRegView::x64, TRegRoot::LocalMachine,
                               L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\7-Zip"),
              L"(x64)HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\7-Zip");
    EXPECT_EQ(RegistryKeyToStr(TRegView::x32, TRegRoot::CurrentUser, L"Software\\App\\"),
              L"(x32)HKEY_CURRENT_USER\\Software\\App\\");
    EXPECT_EQ(RegistryKeyToStr(TRegView::Default, TRegRoot::ClassesRoot, L"CLSID"),
              L"HKEY_CLASSES_ROOT\\CLSID");
    EXPECT_EQ(RegistryKeyToStr(TRegView::Default, TRegRoot::Users, L""), L"HKEY_USERS");
    EXPECT_EQ(RegistryKeyToStr(TRegView::Default, TRegRoot::CurrentConfig, L"System"),
              L"HKEY_CURRENT_CONFIG\\System");
}

TEST(RegistryKeyText, RoundTripGivesViewRootAndPathWithoutTrailingBackslash) {
    const TRegView views[] = {TRegView::Default, TRegView::x32, TRegView::x64};
    const TRegRoot roots[] = {TRegRoot::ClassesRoot, TRegRoot::CurrentUser, TRegRoot::LocalMachine,
                              TRegRoot::Users, TRegRoot::CurrentConfig};
    const std::wstring paths[] = {L"", L"Software", L"Software\\Microsoft\\", L"A\\B C\\(x64)\\D"};
    for (auto view : views)
        for (auto root : roots)
            for (const auto& path : paths) {
                std::wstring text = RegistryKeyToStr(view, root, path);
                TParsed p = Parse(text);
                ASSERT_TRUE(p.Ok) << text;
                EXPECT_EQ(p.View, view) << text;
                EXPECT_EQ(p.Root, root) << text;
                std::wstring expected = path;
                if (!expected.empty() && expected.back() == L'\\')
                    expected.pop_back();
                EXPECT_EQ(p.Path, expected) << text;
            }
}

TEST(RegistryKeyText, ParsingAcceptsShortRootNamesAnyCaseAndStraySeparators) {
    TParsed p = Parse(L"hklm\\SOFTWARE\\Microsoft\\");
    ASSERT_TRUE(p.Ok);
    EXPECT_EQ(p.View, TRegView::Default);
    EXPECT_EQ(p.Root, TRegRoot::LocalMachine);
    EXPECT_EQ(p.Path, L"SOFTWARE\\Microsoft");

    EXPECT_EQ(Parse(L"HKCU\\x").Root, TRegRoot::CurrentUser);
    EXPECT_EQ(Parse(L"HkCr\\.txt").Root, TRegRoot::ClassesRoot);
    EXPECT_EQ(Parse(L"HKU\\S-1-5-18").Root, TRegRoot::Users);
    EXPECT_EQ(Parse(L"hkey_current_config").Root, TRegRoot::CurrentConfig);

    p = Parse(L"(X32)Hkey_Local_Machine\\\\Software\\\\");
    ASSERT_TRUE(p.Ok);
    EXPECT_EQ(p.View, TRegView::x32);
    EXPECT_EQ(p.Path, L"Software");

    p = Parse(L"(x64)HKEY_LOCAL_MACHINE\\");
    ASSERT_TRUE(p.Ok);
    EXPECT_EQ(p.View, TRegView::x64);
    EXPECT_EQ(p.Path, L"");
}

TEST(RegistryKeyText, RejectsTextWithoutAKnownRootAndLeavesOutputsAlone) {
    for (std::wstring_view bad : {L"", L"(x64)", L"HKEY_LOCAL_MACHINEX\\Software", L"Software\\Microsoft",
                                  L"(x86)HKLM\\Software", L" HKLM\\Software", L"\\HKLM\\Software"}) {
        TRegView view = TRegView::x64;
        TRegRoot root = TRegRoot::Users;
        std::wstring path = L"unchanged";
        EXPECT_FALSE(ExtractKeyParams(bad, view, root, path)) << std::wstring(bad);
        EXPECT_EQ(view, TRegView::x64);
        EXPECT_EQ(root, TRegRoot::Users);
        EXPECT_EQ(path, L"unchanged");
    }
}

TEST(RegistryKeyText, SameKeyIgnoresCaseTrailingSeparatorAndRootSpelling) {
    EXPECT_TRUE(SameRegistryKey(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\", L"hklm\\software\\microsoft"));
    EXPECT_TRUE(SameRegistryKey(L"(x32)HKCU\\A", L"(X32)HKEY_CURRENT_USER\\a\\"));
    EXPECT_FALSE(SameRegistryKey(L"(x32)HKLM\\A", L"(x64)HKLM\\A"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"(x64)HKLM\\A"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"HKCU\\A"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"HKLM\\A\\B"));
    EXPECT_FALSE(SameRegistryKey(L"HKLM\\A", L"A"));
    EXPECT_TRUE(SameRegistryKey(L"Software\\A\\", L"software\\a"));
}

TEST(RegistryKeyText, ViewFlagsMatchTheAccessMaskBits) {
    EXPECT_EQ(RegViewFlag(TRegView::Default), 0u);
    EXPECT_EQ(RegViewFlag(TRegView::x32), 0x200u);
    EXPECT_EQ(RegViewFlag(TRegView::x64), 0x100u);
    EXPECT_EQ(RegViewFromFlags(0x20019 | 0x200), TRegView::x32);
    EXPECT_EQ(RegViewFromFlags(0xF003F | 0x100), TRegView::x64);
    EXPECT_EQ(RegViewFromFlags(0x20019), TRegView::Default);
    EXPECT_EQ(RegViewFromFlags(0x300), TRegView::x64);
}
