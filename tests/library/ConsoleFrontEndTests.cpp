// velmora.exe driven as a script would: exit codes and error output.
#include "tests/library/LibraryHarness.h"

#include "api/Interfaces.Rekova.h"
#include "tests/kits/ShortcutKit.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/LibraryLoader.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/RekovaSettings.h"
#include "platform/Text.h"
#include "tools/velmora/ConsoleOutput.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

// A program with its folder below Program Files, an uninstall entry of the
// current user and a Start-menu shortcut; removed afterwards. What a forced
// removal finds of it and leaves of its neighbours is the removal's own end-to-end
// test; here velmora.exe drives it.
struct TProgram {
    const std::wstring Name = Format(L"Velmora FR Alpha %d", static_cast<int>(GetCurrentProcessId()));
    const std::wstring Key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Name;
    const fs::path Folder = fs::path(SpecialFolder(CSIDL_PROGRAM_FILES)) / Name, Exe = Folder / L"Alpha.exe",
                   Shortcut = fs::path(SpecialFolder(CSIDL_PROGRAMS)) / Name / (Name + L".lnk");

    TProgram() {
        fs::create_directories(Folder);
        std::ofstream(Exe, std::ios::binary) << std::string(3000, 'x');
        std::ofstream(Folder / L"zz-large.bin", std::ios::binary) << std::string(2 * 1024 * 1024, 'x');
        auto key = TRegKey::Create(HKEY_CURRENT_USER, Key, KEY_ALL_ACCESS);
        for (auto [value, data] : {std::pair{L"DisplayName", Name},
                                   {L"Publisher", L"Velmora FR Vendor"},
                                   {L"InstallLocation", Folder.wstring()},
                                   {L"UninstallString", L"C:\\Windows\\notepad.exe"}})
            key.WriteString(value, data);
        WriteShortcut(Shortcut, Exe);
    }
    ~TProgram() {
        std::error_code ignored;
        DeleteKey(HKEY_CURRENT_USER, Key);
        fs::remove_all(Shortcut.parent_path(), ignored);
        fs::remove_all(Folder, ignored);
    }
};

// The JSON document (object or array) of a --json run; what comes before it
// is what the command tells on standard error.
nlohmann::json JsonOf(const std::string& output) {
    const char open = output.find("\n[") < output.find("\n{") || output.starts_with("[") ? '[' : '{';
    size_t start = output.starts_with(open) ? 0 : output.find(std::string("\n") + open);
    return start == std::string::npos ? nlohmann::json()
                                      : nlohmann::json::parse(output.substr(start), nullptr, false);
}

// A folder's path ends in "\".
bool SamePath(const std::string& text, const fs::path& path) {
    std::wstring wide = Widen(text);
    if (wide.ends_with(L'\\'))
        wide.pop_back();
    return SameText(wide, path.wstring());
}

} // namespace

// Afterwards, the suite's backup settings as they were, and the process
// component's agent unregistered: the removal registers it, as on a user's
// machine, and the prefix's registry is shared with the agent's own tests.
struct TMachineKept {
    ~TMachineKept() {
        RekovaSettings::SetBackupType(RekovaSettings::VelmoraToolName, WasOn ? 1 : 0);
        RekovaSettings::SetStoreLimit(Limit);
        RegisterLibrary(ThisModuleFolder() + L"ProcyraHelper.Agent.x64.dll", false);
    }
    const bool WasOn = RekovaSettings::IsBackupEnabled(RekovaSettings::VelmoraToolName);
    const int64_t Limit = RekovaSettings::StoreLimit();
};

TEST(ConsoleFrontEnd, ForceRemovesAProgramPastAFullBackupStoreAndRestoresItsSet) {
    const std::wstring exe = ThisModuleFolder() + L"velmora.exe";
    const TMachineKept kept;
    const TProgram alpha;
    RekovaSettings::SetStoreLimit(1024 * 1024);

    auto [code, output] = RunProgram(exe, L"backup-setting on");
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("Forced removals are backed up"), std::string::npos) << output;

    std::tie(code, output) = RunProgram(exe, L"leftovers \"" + alpha.Name + L"\" --json");
    ASSERT_EQ(code, 0) << output;
    // The read's progress is for a console only.
    EXPECT_EQ(output.find("Read state"), std::string::npos) << output;
    EXPECT_EQ(output.find("Reading installed programs"), std::string::npos) << output;
    nlohmann::json found = JsonOf(output);
    ASSERT_TRUE(found.is_object()) << output;
    EXPECT_TRUE(std::ranges::any_of(found["files"], [&](const auto& f) {
        return SamePath(f.value("path", ""), alpha.Exe);
    })) << output;
    ASSERT_EQ(found["shortcuts"].size(), 1u) << output;
    EXPECT_TRUE(SamePath(found["shortcuts"][0]["file"].value("path", ""), alpha.Shortcut)) << output;
    // The Start-menu folder goes whole, and is listed.
    const auto menuFolder = [&](const auto& f) {
        return SamePath(f.value("path", ""), alpha.Shortcut.parent_path());
    };
    EXPECT_TRUE(std::ranges::any_of(found["files"], menuFolder)) << output;
    EXPECT_TRUE(fs::exists(alpha.Exe)) << "listing deleted something";

    // --yes alone does not give up the backup: the full store ends the removal.
    TComPtr<IRekova> rekova;
    ASSERT_TRUE(DllRoutines::GetInstance(L"RekovaHelper.dll", __uuidof(IRekova),
                                         reinterpret_cast<void**>(rekova.put())));
    std::tie(code, output) = RunProgram(exe, L"force-remove \"" + alpha.Name + L"\" --yes --json");
    EXPECT_EQ(code, 13) << output;
    EXPECT_NE(output.find("Ending the removal."), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(alpha.Folder / L"zz-large.bin")) << output;
    TComPtr<IRekovaSet> ended;
    rekova->GetSet(0, ended.put());
    ASSERT_TRUE(ended);
    const std::wstring endedId = GetterText(*ended, &IRekovaSet::GetId);
    unique_bstr report;
    rekova->RestoreSet(endedId.c_str(), report.put());
    rekova->DeleteSet(endedId.c_str());

    std::tie(code, output) =
        RunProgram(exe, L"force-remove \"" + alpha.Name + L"\" --yes --no-backup --json");
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("The backup store is full"), std::string::npos) << output;
    EXPECT_NE(output.find("Going on without backup (--no-backup)."), std::string::npos) << output;
    nlohmann::json removal = JsonOf(output)["removal"];
    EXPECT_EQ(removal.value("allRemoved", false), true) << output;
    const nlohmann::json removedFiles = JsonOf(output)["files"];
    auto menu = std::ranges::find_if(removedFiles, menuFolder);
    EXPECT_TRUE(menu != removedFiles.end() && menu->value("removed", false)) << output;
    EXPECT_EQ(removal.value("filesProcessed", -1), found.value("totalFiles", -2)) << output;
    EXPECT_FALSE(fs::exists(alpha.Folder) || fs::exists(alpha.Shortcut) ||
                 TRegKey::Open(HKEY_CURRENT_USER, alpha.Key));
    EXPECT_EQ(RunProgram(exe, L"leftovers \"" + alpha.Name + L"\"").first, 4)
        << "the removed program is listed";

    std::tie(code, output) = RunProgram(exe, L"backups --json");
    ASSERT_EQ(code, 0) << output;
    nlohmann::json sets = JsonOf(output);
    ASSERT_TRUE(sets.is_array() && !sets.empty()) << output;
    EXPECT_EQ(sets[0].value("program", ""), Narrow(alpha.Name)) << output;
    EXPECT_EQ(sets[0].value("status", ""), "incomplete") << output;
    const std::wstring id = Widen(sets[0].value("id", ""));
    // People read the size as the lists give sizes.
    std::tie(code, output) = RunProgram(exe, L"backups");
    const std::string row = output.substr(std::min(output.find(Narrow(id)), output.size()));
    EXPECT_NE(
        row.substr(0, row.find('\n')).find("  " + Narrow(cli::FormatSize(sets[0].value("size", int64_t{0})))),
        std::string::npos)
        << output;

    // What was recorded before the store was full comes back (a restore
    // twice is refused: the removal's end-to-end test).
    std::tie(code, output) = RunProgram(exe, L"restore " + id);
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("is restored"), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(alpha.Exe)) << output;
    EXPECT_EQ(RunProgram(exe, L"restore 19991231-235959-0001").first, 15);

    std::tie(code, output) = RunProgram(exe, L"backup-setting off");
    EXPECT_NE(output.find("Forced removals are not backed up."), std::string::npos) << output;
    rekova->DeleteSet(id.c_str());
}
