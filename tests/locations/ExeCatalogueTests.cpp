// The executable catalogue under Wine: real shortcuts in a Start-menu folder
// of the test prefix, Run values and Explorer usage records written under
// unique names, all removed again by each test.
#include "frame/Globals.h"
#include "locations/ExeRules.h"
#include "locations/ItemFolder.h"
#include "locations/LocationExeInfo.h"
#include "platform/ComObject.h"
#include "platform/Files.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Shortcut.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "platform/Format.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <thread>
#include <vector>

namespace velmora {
namespace {

constexpr std::wstring_view RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::wstring_view UserAssistKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist";
constexpr std::wstring_view CountKey = L"{75048700-EF1F-11D0-9888-006097DEACF9}\\Count";

std::wstring UniqueName() {
    static int serial = 0;
    return L"VelmoraExe" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount()) +
           L"_" + std::to_wstring(++serial);
}

void DeleteTree(const std::wstring& folder) {
    for (const TFindData& entry : FindFiles(folder + L"\\*")) {
        const std::wstring path = folder + L"\\" + std::wstring(entry.Name());
        if (entry.IsFolder())
            DeleteTree(path);
        else
            DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

void WriteFile(const std::wstring& path, const char* text = "x") {
    unique_file file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << "cannot create the file";
    DWORD written = 0;
    ::WriteFile(file.get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

// A program file with this test's version resource.
void CopyProgram(const std::wstring& path) {
    ASSERT_TRUE(CopyFileW(ThisModuleFileName().c_str(), path.c_str(), FALSE));
}

void CreateShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& icon = {},
                    int iconIndex = 0) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        TComPtr<IShellLinkW> shell;
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IShellLinkW, reinterpret_cast<void**>(shell.put())));
        ASSERT_HRESULT_SUCCEEDED(shell->SetPath(target.c_str()));
        if (!icon.empty()) {
            ASSERT_HRESULT_SUCCEEDED(shell->SetIconLocation(icon.c_str(), iconIndex));
        }
        TComPtr<IPersistFile> file;
        ASSERT_HRESULT_SUCCEEDED(
            shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())));
        ASSERT_HRESULT_SUCCEEDED(file->Save(link.c_str(), TRUE));
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    ASSERT_TRUE(FileExists(link));
}

size_t CatalogueSize() {
    TItemFolder::Lock();
    size_t size = TItemFolder::Items().size();
    TItemFolder::Unlock();
    return size;
}

// Entries whose field matches, in catalogue order.
std::vector<TItemFolder*> EntriesWhere(const std::function<bool(const TItemFolder&)>& match) {
    std::vector<TItemFolder*> found;
    TItemFolder::Lock();
    for (const auto& item : TItemFolder::Items())
        if (match(*item))
            found.push_back(item.get());
    TItemFolder::Unlock();
    return found;
}

std::vector<TItemFolder*> EntriesForFile(const std::wstring& path) {
    return EntriesWhere([&](const TItemFolder& item) { return SameText(item.ExecutedFile(), path); });
}

// A program folder under the temporary folder and a folder of shortcuts in
// the user's Start menu, both removed afterwards.
class ExeCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        FName = UniqueName();
        FFolder = TempFolder() + L"\\" + FName;
        ASSERT_TRUE(CreateDirectoryW(FFolder.c_str(), nullptr));
        const std::wstring programs = SpecialFolder(CSIDL_PROGRAMS);
        ASSERT_FALSE(programs.empty());
        FMenu = programs + L"\\" + FName;
        ASSERT_TRUE(CreateDirectoryW(FMenu.c_str(), nullptr));
    }
    void TearDown() override {
        DeleteTree(FMenu);
        DeleteTree(FFolder);
        for (const auto& file : FExtraFiles)
            DeleteFileW(file.c_str());
    }

    // A subfolder of the program folder.
    std::wstring Folder(const std::wstring& name) {
        std::wstring path = FFolder + L"\\" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }

    std::wstring FName, FFolder, FMenu;
    std::vector<std::wstring> FExtraFiles;
};

TEST_F(ExeCatalogue, ShortcutInfoReadsTargetAndIcon) {
    const std::wstring target = FFolder + L"\\app.exe";
    WriteFile(target);
    const std::wstring withIcon = FMenu + L"\\With icon.lnk";
    CreateShortcut(withIcon, target, FFolder + L"\\icons.dll", 3);
    TLnkFileInfo info(withIcon);
    EXPECT_TRUE(SameText(info.TargetPath(), target)) << info.TargetPath();
    EXPECT_TRUE(SameText(info.IconLocation(), FFolder + L"\\icons.dll")) << info.IconLocation();
    EXPECT_EQ(info.IconIndex(), 3);

    const std::wstring plain = FMenu + L"\\Plain.lnk";
    CreateShortcut(plain, target);
    TLnkFileInfo plainInfo(plain);
    EXPECT_TRUE(SameText(plainInfo.TargetPath(), target));
    EXPECT_EQ(plainInfo.IconLocation(), L"");

    // Neither a missing file nor a file that is no shortcut gives anything.
    for (const std::wstring& bad : {FFolder + L"\\missing.lnk", target}) {
        TLnkFileInfo none(bad);
        EXPECT_EQ(none.TargetPath(), L"");
        EXPECT_EQ(none.IconLocation(), L"");
        EXPECT_EQ(none.IconIndex(), 0);
    }
}

TEST_F(ExeCatalogue, AddItemKeepsOneEntryPerExecutable) {
    const std::wstring exe = FFolder + L"\\Tool.exe";
    WriteFile(exe);
    TItemFolder* entry = TItemFolder::AddItem(exe);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->ExecutedFile(), exe);
    EXPECT_EQ(entry->LinkFile(), L"");
    const size_t size = CatalogueSize();
    EXPECT_EQ(TItemFolder::AddItem(UpperCase(exe)), entry);

    // Quotes and environment variables are resolved before the comparison.
    ASSERT_TRUE(SetEnvironmentVariableW(L"VELMORA_EXE_TEST", FFolder.c_str()));
    EXPECT_EQ(TItemFolder::AddItem(L"\"%VELMORA_EXE_TEST%\\tool.exe\""), entry);
    EXPECT_EQ(CatalogueSize(), size);

    EXPECT_EQ(TItemFolder::AddItem(FFolder + L"\\missing.exe"), nullptr);
    EXPECT_EQ(TItemFolder::AddItem(L""), nullptr);
    EXPECT_EQ(CatalogueSize(), size);

    // A bare name is looked up on the system search path.
    TItemFolder* found = TItemFolder::AddItem(L"notepad.exe");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(FileExists(found->ExecutedFile()));
    EXPECT_NE(found->ExecutedFile(), L"notepad.exe");
}

TEST_F(ExeCatalogue, ShortcutsShareTheEntryOfTheirTargetOnlyUnderTheSameName) {
    const std::wstring exe = FFolder + L"\\Widget.exe";
    WriteFile(exe);
    const std::wstring link = FMenu + L"\\Widget Pro 2.5 (beta).lnk";
    CreateShortcut(link, exe, FFolder + L"\\Widget.ico", 2);

    TItemFolder* entry = TItemFolder::AddItem(link);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->LinkFile(), link);
    EXPECT_EQ(entry->LinkName(), L"Widget Pro");
    EXPECT_TRUE(SameText(entry->ExecutedFile(), exe)) << entry->ExecutedFile();
    EXPECT_TRUE(SameText(entry->IconLocation(), FFolder + L"\\Widget.ico,2")) << entry->IconLocation();
    EXPECT_EQ(TItemFolder::AddItem(link), entry);
    // The executable itself is the same entry.
    EXPECT_EQ(TItemFolder::AddItem(exe), entry);

    // Another shortcut of the same name elsewhere joins it; one of another
    // name gets an entry of its own.
    const std::wstring sub = FMenu + L"\\Sub";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    CreateShortcut(sub + L"\\Widget Pro.lnk", exe);
    EXPECT_EQ(TItemFolder::AddItem(sub + L"\\Widget Pro.lnk"), entry);
    CreateShortcut(sub + L"\\Widget Help.lnk", exe);
    TItemFolder* help = TItemFolder::AddItem(sub + L"\\Widget Help.lnk");
    ASSERT_NE(help, nullptr);
    EXPECT_NE(help, entry);
    EXPECT_EQ(help->LinkName(), L"Widget Help");
    EXPECT_EQ(help->IconLocation(), L"");

    // A shortcut to an executable added before it joins that entry.
    const std::wstring early = FFolder + L"\\Early.exe";
    WriteFile(early);
    TItemFolder* earlyEntry = TItemFolder::AddItem(early);
    CreateShortcut(FMenu + L"\\Early.lnk", early);
    EXPECT_EQ(TItemFolder::AddItem(FMenu + L"\\Early.lnk"), earlyEntry);
}

TEST_F(ExeCatalogue, ScanMatchesTheBareProductNameAndReadsTheVersionOnce) {
    const std::wstring folder = Folder(L"Widget");
    const std::wstring exe = folder + L"\\WidgetPro.exe";
    CopyProgram(exe);
    WriteFile(folder + L"\\unins000.exe");
    // The catalogue is process-wide: a product name of this test only.
    const std::wstring product = FName + L"Gizmo";
    CreateShortcut(FMenu + L"\\Uninstall " + product + L".lnk", folder + L"\\unins000.exe");
    CreateShortcut(FMenu + L"\\" + product + L".lnk", exe);

    TLocationExeInfo location;
    EXPECT_FALSE(location.IsChanged());
    location.Read();
    location.ReadProgramsSlowInfo();
    ASSERT_EQ(EntriesForFile(exe).size(), 1u);

    TItemFolder* found = TItemFolder::SearchForExecutable(product + L" 2.5.1 (x64 edition)", L"");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(SameText(found->ExecutedFile(), exe)) << found->ExecutedFile();
    EXPECT_TRUE(found->ResourceReaded());
    EXPECT_EQ(found->CompanyName(), L"Velmora Catalogue Maker");
    EXPECT_EQ(found->ProductName(), L"Widget Pro");
    EXPECT_EQ(found->ProductVersion(), L"2.5.1 catalogue");
    const uint32_t german = 0x0407;
    EXPECT_EQ(found->Translations(), DLLGlobals::LocaleIDListToString({&german, 1}));
    EXPECT_FALSE(found->Translations().empty());

    // By folder, the uninstaller in the same folder is passed over.
    EXPECT_EQ(TItemFolder::SearchForExecutable(L"Something else", folder), found);
    EXPECT_EQ(TItemFolder::SearchForExecutable(L"Uninstall " + product, L""), nullptr);

    // A repeated scan finds the same files and adds nothing.
    const size_t size = CatalogueSize();
    location.ReadProgramsSlowInfo();
    EXPECT_EQ(CatalogueSize(), size);
    EXPECT_EQ(TItemFolder::SearchForExecutable(product + L" 2.5.1 (x64 edition)", L""), found);
}

TEST_F(ExeCatalogue, ExecutableWinsOverBatchFileAndDocumentsAreNeverChosen) {
    const std::wstring tools = Folder(L"Tools");
    WriteFile(tools + L"\\start.bat");
    WriteFile(tools + L"\\main.exe");
    WriteFile(tools + L"\\later.exe");
    CreateShortcut(FMenu + L"\\Tools Start.lnk", tools + L"\\start.bat");
    CreateShortcut(FMenu + L"\\Tools Main.lnk", tools + L"\\main.exe");
    ASSERT_NE(TItemFolder::AddItem(FMenu + L"\\Tools Start.lnk"), nullptr);
    TItemFolder* batch = TItemFolder::SearchForExecutable(L"Tool suite", tools);
    ASSERT_NE(batch, nullptr);
    EXPECT_TRUE(SameText(batch->ExecutedFile(), tools + L"\\start.bat"));
    TItemFolder* exe = TItemFolder::AddItem(FMenu + L"\\Tools Main.lnk");
    ASSERT_NE(TItemFolder::AddItem(tools + L"\\later.exe"), nullptr);
    EXPECT_EQ(TItemFolder::SearchForExecutable(L"Tool suite", tools), exe);

    const std::wstring docs = Folder(L"Docs");
    for (const wchar_t* name : {L"\\readme.txt", L"\\helper.dll", L"\\noextension"}) {
        WriteFile(docs + name);
        ASSERT_NE(TItemFolder::AddItem(docs + name), nullptr);
    }
    CreateShortcut(FMenu + L"\\Docs Reader.lnk", docs + L"\\readme.txt");
    ASSERT_NE(TItemFolder::AddItem(FMenu + L"\\Docs Reader.lnk"), nullptr);
    EXPECT_EQ(TItemFolder::SearchForExecutable(L"Docs Reader", docs), nullptr);
    EXPECT_EQ(TItemFolder::SearchForExecutable(L"Docs Reader 1.0", L""), nullptr);
}

TEST_F(ExeCatalogue, RunValuesAddQuotedAndBareExecutablesOnly) {
    const std::wstring run = Folder(L"Run");
    const std::wstring quoted = run + L"\\Quoted Tray.exe";
    const std::wstring withArgs = run + L"\\plain.exe";
    const std::wstring machine = run + L"\\machine.exe";
    const std::wstring script = run + L"\\agent.bat";
    const std::wstring machine32 = run + L"\\machine32.exe";
    for (const auto& file : {quoted, withArgs, machine, script, machine32})
        WriteFile(file);
    const std::wstring q = FName + L"q", a = FName + L"a", m = FName + L"m", s = FName + L"s";
    const TRegKey userKey = TRegKey::Create(HKEY_CURRENT_USER, RunKey);
    const TRegKey local = TRegKey::Create(HKEY_LOCAL_MACHINE, RunKey, KEY_READ | KEY_WRITE, TRegView::x64);
    ASSERT_TRUE(userKey);
    const TRegKey local32 = TRegKey::Create(HKEY_LOCAL_MACHINE, RunKey, KEY_READ | KEY_WRITE, TRegView::x32);
    ASSERT_TRUE(local);
    ASSERT_TRUE(local32);
    ASSERT_TRUE(userKey.WriteString(q, L"\"" + quoted + L"\" /background"));
    ASSERT_TRUE(userKey.WriteExpandString(a, withArgs + L" /min"));
    ASSERT_TRUE(userKey.WriteString(s, script));
    ASSERT_TRUE(local.WriteString(m, machine));
    ASSERT_TRUE(local32.WriteString(m, machine32));

    TLocationExeInfo().ReadProgramsSlowInfo();
    userKey.DeleteValue(q);
    userKey.DeleteValue(a);
    userKey.DeleteValue(s);
    local.DeleteValue(m);
    local32.DeleteValue(m);

    EXPECT_EQ(EntriesForFile(quoted).size(), 1u);
    EXPECT_EQ(EntriesForFile(machine).size(), 1u);
    EXPECT_EQ(EntriesForFile(machine32).size(), 1u);
    EXPECT_TRUE(EntriesForFile(withArgs).empty());
    EXPECT_TRUE(EntriesForFile(script).empty());
}

// Runs a scan on a runtime thread that has been asked to stop.
class TStoppedScan : public TThread {
public:
    ~TStoppedScan() override { TerminateAndWait(); }
    bool Returned = false;
    bool Failed = false;

protected:
    void Execute() override {
        Terminate();
        TLocationExeInfo().ReadProgramsSlowInfo();
        Returned = true;
    }
    void HandleError(std::exception_ptr) override { Failed = true; }
};

TEST_F(ExeCatalogue, StopRequestEndsTheScanQuietly) {
    const std::wstring exe = Folder(L"Stop") + L"\\stopped.exe";
    WriteFile(exe);
    const std::wstring value = FName + L"stop";
    const TRegKey run = TRegKey::Create(HKEY_CURRENT_USER, RunKey);
    ASSERT_TRUE(run.WriteString(value, exe));

    TStoppedScan scan;
    scan.Start();
    scan.WaitFor();
    EXPECT_TRUE(scan.Returned);
    EXPECT_FALSE(scan.Failed);
    // The scan ended in the Start menu, before the Run keys.
    EXPECT_TRUE(EntriesForFile(exe).empty());

    TLocationExeInfo().ReadProgramsSlowInfo();
    run.DeleteValue(value);
    EXPECT_EQ(EntriesForFile(exe).size(), 1u);
}

TEST_F(ExeCatalogue, ConcurrentAdditionsKeepOneEntryPerFile) {
    const std::wstring folder = Folder(L"Many");
    std::vector<std::wstring> files;
    for (int i = 0; i < 12; ++i) {
        files.push_back(Format(L"%s\\program%d.exe", folder, i));
        WriteFile(files.back());
    }
    for (int i = 0; i < 4; ++i) {
        CreateShortcut(Format(L"%s\\Link%s.lnk", FMenu, std::wstring(1, wchar_t(L'A' + i))), files[i]);
        files.push_back(Format(L"%s\\Link%s.lnk", FMenu, std::wstring(1, wchar_t(L'A' + i))));
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&files, t] {
            for (size_t i = 0; i < files.size(); ++i) {
                TItemFolder::AddItem(files[(i + t * 3) % files.size()]);
                TItemFolder::SearchForExecutable(L"Unrelated", L"C:\\Nowhere");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(EntriesForFile(files[i]).size(), 1u) << i;
}

// The Explorer usage records of the current user, restored afterwards.
class UsageRecords : public ExeCatalogue {
protected:
    void SetUp() override {
        ExeCatalogue::SetUp();
        FAssistCreated = !KeyExists(HKEY_CURRENT_USER, UserAssistKey);
        FCountCreated =
            !KeyExists(HKEY_CURRENT_USER, std::wstring(UserAssistKey) + L"\\" + std::wstring(CountKey));
        FCount =
            TRegKey::Create(HKEY_CURRENT_USER, std::wstring(UserAssistKey) + L"\\" + std::wstring(CountKey));
        FSettings = TRegKey::Create(HKEY_CURRENT_USER, std::wstring(UserAssistKey) + L"\\Settings");
        ASSERT_TRUE(FCount);
        ASSERT_TRUE(FSettings);
        FNoEncrypt = FSettings.ReadValue(L"NoEncrypt");
    }
    void TearDown() override {
        for (const auto& name : FValues)
            FCount.DeleteValue(name);
        if (FNoEncrypt)
            FSettings.WriteValue(L"NoEncrypt", *FNoEncrypt);
        else
            FSettings.DeleteValue(L"NoEncrypt");
        if (FAssistCreated)
            DeleteKey(HKEY_CURRENT_USER, UserAssistKey);
        else if (FCountCreated)
            DeleteKey(HKEY_CURRENT_USER, std::wstring(UserAssistKey) + L"\\" + std::wstring(CountKey));
        ExeCatalogue::TearDown();
    }
    void AddRecord(const std::wstring& name) {
        const BYTE data[16] = {};
        ASSERT_TRUE(FCount.WriteBinary(name, data, sizeof(data)));
        FValues.push_back(name);
    }

    TRegKey FCount, FSettings;
    std::optional<TRegValue> FNoEncrypt;
    bool FAssistCreated = false;
    bool FCountCreated = false;
    std::vector<std::wstring> FValues;
};

TEST_F(UsageRecords, EncodedNamesAreDecodedUnlessNoEncryptIsSet) {
    const std::wstring folder = Folder(L"UA");
    const std::wstring encoded = folder + L"\\encoded.exe", plainIgnored = folder + L"\\plainignored.exe";
    const std::wstring plain = folder + L"\\plain.exe", rotIgnored = folder + L"\\rotignored.exe";
    const std::wstring document = folder + L"\\letter.txt";
    for (const auto& file : {encoded, plainIgnored, plain, rotIgnored, document})
        WriteFile(file);

    FSettings.DeleteValue(L"NoEncrypt");
    AddRecord(Rot13(L"UEME_RUNPATH:" + encoded));
    AddRecord(L"UEME_RUNPATH:" + plainIgnored);
    AddRecord(Rot13(L"UEME_RUNPATH:" + document));
    TLocationExeInfo().ReadProgramsSlowInfo();
    EXPECT_EQ(EntriesForFile(encoded).size(), 1u);
    EXPECT_TRUE(EntriesForFile(plainIgnored).empty());
    EXPECT_TRUE(EntriesForFile(document).empty());

    ASSERT_TRUE(FSettings.WriteNumber(L"NoEncrypt", 1));
    AddRecord(L"UEME_RUNPATH:" + plain);
    AddRecord(Rot13(L"UEME_RUNPATH:" + rotIgnored));
    TLocationExeInfo().ReadProgramsSlowInfo();
    EXPECT_EQ(EntriesForFile(plain).size(), 1u);
    EXPECT_TRUE(EntriesForFile(rotIgnored).empty());
}

TEST_F(UsageRecords, BareShortcutNameIsTakenFromTheDesktop) {
    const std::wstring desktop = SpecialFolder(CSIDL_DESKTOP);
    ASSERT_FALSE(desktop.empty());
    const std::wstring exe = Folder(L"Desk") + L"\\desk.exe";
    WriteFile(exe);
    const std::wstring linkName = FName + L"Desk.lnk";
    const std::wstring link = desktop + L"\\" + linkName;
    FExtraFiles.push_back(link);
    CreateShortcut(link, exe);
    ASSERT_TRUE(FSettings.WriteNumber(L"NoEncrypt", 1));
    AddRecord(L"UEME_RUNPATH:" + linkName);

    TLocationExeInfo().ReadProgramsSlowInfo();
    auto entries = EntriesWhere([&](const TItemFolder& item) { return SameText(item.LinkFile(), link); });
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(SameText(entries[0]->ExecutedFile(), exe));
    EXPECT_EQ(entries[0]->LinkName(), FName + L"Desk");
}

} // namespace
} // namespace velmora
