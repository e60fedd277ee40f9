// The registry scanners on the system's registry: value types and views as
// Windows keeps them. Their rules are tested on a registry of the test's own
// (RegistryScannersTests.cpp).
#include "NoSharedDlls.h"
#include "WindowsTestKit.h"
#include "forceremove/AppFolders.h"
#include "forceremove/Autorun.h"
#include "forceremove/ExtData.h"
#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "forceremove/SharedDlls.h"

#include <gmock/gmock.h>

#include <functional>

using namespace velmora;
using namespace velmora::testing;
using ::testing::UnorderedElementsAre;

namespace {

const std::wstring RunPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistrySourceTest : public ::testing::Test {
protected:
    RegistrySourceTest() { FAppFolders.Add(FApp.Path()); }
    ~RegistrySourceTest() override {
        for (const auto& undo : FUndo)
            undo();
    }

    static std::wstring Unique(std::wstring_view stem) {
        static int count = 0;
        return Format(L"Velmora%s-%d-%d-%d", stem, static_cast<int>(GetCurrentProcessId()),
                      static_cast<int>(GetTickCount()), ++count);
    }
    // A value the test sets and deletes afterwards.
    TRegKey ValueKey(TRegRoot root, const std::wstring& path, TRegView view, const std::wstring& name) {
        FUndo.push_back([=] { TRegKey::Open(root, path, KEY_SET_VALUE, view).DeleteValue(name); });
        return TRegKey::Create(root, path, KEY_READ | KEY_WRITE, view);
    }
    // A key the test makes and deletes afterwards, with what is below it.
    TRegKey NewKey(TRegRoot root, const std::wstring& path, std::wstring_view subKey, TRegView view) {
        FUndo.push_back([=] { DeleteKey(root, path, view); });
        return TRegKey::Create(root, path + std::wstring(subKey), KEY_READ | KEY_WRITE, view);
    }
    std::vector<std::wstring> Listed() const {
        std::vector<std::wstring> paths;
        for (size_t i = 0; i < FRegList.Count(); ++i)
            paths.push_back(FRegList.GetItem(i).FullPath());
        return paths;
    }

    TScratchFolder FApp{L"velmora-regscan"};
    TAppFolders FAppFolders{L"C:\\windows"};
    TFRSharedDlls FSharedDlls{std::make_unique<TNoSharedDlls>()};
    TFRFileList FFileList{FSharedDlls};
    TFRRegList FRegList{true};
    TIDList FAppIDs, FCLSIDs;
    std::vector<std::function<void()>> FUndo;
};

TEST_F(RegistrySourceTest, AutorunTakesPlainStringValuesOfTheRunKeysInTheirViews) {
    const std::wstring command = L"\"" + FApp.WriteFile(L"tray.exe") + L"\" /min";
    const std::wstring plain = Unique(L"Plain"), expandable = Unique(L"Expandable"), x32 = Unique(L"X32");
    ValueKey(TRegRoot::CurrentUser, RunPath, TRegView::x64, plain).WriteString(plain, command);
    ValueKey(TRegRoot::CurrentUser, RunPath, TRegView::x64, expandable)
        .WriteExpandString(expandable, command);
    ValueKey(TRegRoot::LocalMachine, RunPath, TRegView::x32, x32).WriteString(x32, command);

    TFRAutorun(FAppFolders, FRegList, SystemRegistrySource()).Run();
    EXPECT_THAT(Listed(), UnorderedElementsAre(L"(x64)HKEY_CURRENT_USER\\" + RunPath + L"\\" + plain,
                                               L"(x32)HKEY_LOCAL_MACHINE\\" + RunPath + L"\\" + x32));
}

TEST(RegistrySource, TellsAKeyBothViewsShareFromOneEachViewHasApart) {
    const TRegistrySource& source = SystemRegistrySource();
    EXPECT_TRUE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CLASSES_ROOT\\CLSID\\"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_LOCAL_MACHINE\\Software\\Microsoft"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software\\Velmora missing key"));
}

TEST_F(RegistrySourceTest, ExtDataFindsA32BitClassAndItsProgID) {
    const std::wstring clsid = L"{" + Unique(L"Class") + L"}", progID = Unique(L"Doc");
    NewKey(TRegRoot::ClassesRoot, L"CLSID\\" + clsid, L"\\InProcServer32", TRegView::x32)
        .WriteExpandString(L"", FApp.WriteFile(L"ext32.dll"));
    NewKey(TRegRoot::ClassesRoot, progID, L"\\CLSID", TRegView::x64).WriteString(L"", clsid);

    TFRExtData(FRegList, FFileList, FAppFolders, FAppIDs, {}, FCLSIDs, SystemRegistrySource()).Run();
    EXPECT_THAT(Listed(), UnorderedElementsAre(L"(x32)HKEY_CLASSES_ROOT\\CLSID\\" + clsid + L"\\",
                                               L"(x64)HKEY_CLASSES_ROOT\\" + progID + L"\\"));
}

} // namespace
