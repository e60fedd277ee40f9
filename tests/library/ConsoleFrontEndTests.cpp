// velmora.exe driven as a script would: exit codes and error output.
#include "tests/library/LibraryHarness.h"

#include "api/Interfaces.Rekova.h"
#include "tests/kits/ShortcutKit.h"
#include "tests/platform/ScratchKit.h"

#include "platform/Format.h"
#include "platform/LibraryLoader.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/RekovaSettings.h"
#include "platform/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

TEST(ConsoleFrontEnd, UsageErrorsAndAMissingLibraryExitWithTheirCodesAndExplain) {
    const std::wstring exe = ThisModuleFolder() + L"velmora.exe";
    auto [code, output] = RunProgram(exe, L"list --bogus");
    EXPECT_EQ(code, 2);
    EXPECT_NE(output.find("Unknown option \"--bogus\" for \"list\"."), std::string::npos) << output;
    EXPECT_NE(output.find("Usage: velmora"), std::string::npos);

    const TTempFolder alone(L"velmora-nolib");
    const std::wstring copy = (alone.Path / L"velmora.exe").wstring();
    ASSERT_TRUE(CopyFileW(exe.c_str(), copy.c_str(), FALSE));
    std::tie(code, output) = RunProgram(copy, L"list");
    EXPECT_EQ(code, 3);
    EXPECT_NE(output.find("Cannot load"), std::string::npos) << output;
}

namespace {

constexpr wchar_t UserUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Two programs of one vendor, each with its folder below Program Files, an
// uninstall entry of the current user and a shortcut in a Start-menu folder
// of its own; removed afterwards.
struct TTwoVendorPrograms {
    struct TProgram {
        std::wstring Name;
        fs::path Folder, Exe, Shortcut;
        bool KeyExists() const { return bool(TRegKey::Open(HKEY_CURRENT_USER, UserUninstallKey + Name)); }
    };
    const int Id = static_cast<int>(GetCurrentProcessId());
    const fs::path Vendor =
        fs::path(SpecialFolder(CSIDL_PROGRAM_FILES)) / Format(L"Velmora FR Vendor %d", Id);
    std::vector<TProgram> Programs;

    TTwoVendorPrograms() {
        for (const std::wstring stem : {L"Alpha", L"Beta"}) {
            const std::wstring name = Format(L"Velmora FR %s %d", stem, Id);
            const TProgram& program = Programs.emplace_back(
                TProgram{name, Vendor / stem, Vendor / stem / (stem + L".exe"),
                         fs::path(SpecialFolder(CSIDL_PROGRAMS)) / name / (name + L".lnk")});
            fs::create_directories(program.Folder / L"data");
            std::ofstream(program.Exe, std::ios::binary) << std::string(3000, 'x');
            std::ofstream(program.Folder / L"data" / L"settings.ini") << "[Main]\n";
            auto key = TRegKey::Create(HKEY_CURRENT_USER, UserUninstallKey + name, KEY_ALL_ACCESS);
            key.WriteString(L"DisplayName", name);
            key.WriteString(L"Publisher", L"Velmora FR Vendor");
            key.WriteString(L"InstallLocation", program.Folder.wstring());
            key.WriteString(L"UninstallString", L"C:\\Windows\\notepad.exe");
            WriteShortcut(program.Shortcut, program.Exe);
        }
    }
    ~TTwoVendorPrograms() {
        std::error_code ignored;
        for (const TProgram& program : Programs) {
            DeleteKey(HKEY_CURRENT_USER, UserUninstallKey + program.Name);
            fs::remove_all(program.Shortcut.parent_path(), ignored);
        }
        fs::remove_all(Vendor, ignored);
    }
};

// The JSON document (object or array) of a --json run; what comes before it
// is the read state on standard error.
nlohmann::json JsonOf(const std::string& output) {
    const char open = output.find("\n[") < output.find("\n{") || output.starts_with("[") ? '[' : '{';
    size_t start = output.starts_with(open) ? 0 : output.find(std::string("\n") + open);
    return start == std::string::npos ? nlohmann::json()
                                      : nlohmann::json::parse(output.substr(start), nullptr, false);
}

std::vector<std::string> Strings(const nlohmann::json& items, const char* field) {
    std::vector<std::string> values;
    for (const auto& item : items)
        values.push_back(item.value(field, ""));
    return values;
}

// A folder's path ends in "\".
bool SamePath(const std::string& text, const fs::path& path) {
    std::wstring wide = Widen(text);
    if (wide.ends_with(L'\\'))
        wide.pop_back();
    return SameText(wide, path.wstring());
}

} // namespace

// The removal registers the process component's agent, as on a user's
// machine; the prefix's registry is shared with the agent's own tests.
struct TAgentUnregistration {
    ~TAgentUnregistration() { RegisterLibrary(ThisModuleFolder() + L"ProcyraHelper.Agent.x64.dll", false); }
};

// The suite's backup settings as they were, afterwards.
struct TBackupSettingsKept {
    ~TBackupSettingsKept() {
        RekovaSettings::SetBackupType(RekovaSettings::VelmoraToolName, WasOn ? 1 : 0);
        RekovaSettings::SetStoreLimit(Limit);
    }
    const bool WasOn = RekovaSettings::IsBackupEnabled(RekovaSettings::VelmoraToolName);
    const int64_t Limit = RekovaSettings::StoreLimit();
};

TEST(ConsoleFrontEnd, ForceRemovesOneProgramPastAFullBackupStoreNotItsNeighbourAndRestoresItsSet) {
    const std::wstring exe = ThisModuleFolder() + L"velmora.exe";
    const TAgentUnregistration unregisterAfterwards;
    const TBackupSettingsKept keptSettings;
    TTwoVendorPrograms machine;
    const auto& alpha = machine.Programs[0];
    const auto& beta = machine.Programs[1];
    std::ofstream(alpha.Folder / L"zz-large.bin", std::ios::binary) << std::string(2 * 1024 * 1024, 'x');
    RekovaSettings::SetStoreLimit(1024 * 1024);

    auto [code, output] = RunProgram(exe, L"backup-setting on");
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("Forced removals are backed up"), std::string::npos) << output;

    std::tie(code, output) = RunProgram(exe, L"leftovers \"" + alpha.Name + L"\" --json");
    ASSERT_EQ(code, 0) << output;
    nlohmann::json found = JsonOf(output);
    ASSERT_TRUE(found.is_object()) << output;
    auto files = Strings(found["files"], "path");
    for (const fs::path& path : {alpha.Exe, alpha.Folder / L"data" / L"settings.ini", alpha.Folder})
        EXPECT_TRUE(std::ranges::any_of(files, [&](const auto& f) { return SamePath(f, path); }))
            << Narrow(path.wstring()) << " not listed:\n"
            << output;
    EXPECT_TRUE(std::ranges::any_of(Strings(found["registryEntries"], "key"), [&](const std::string& key) {
        return Widen(key).ends_with(L"\\Uninstall\\" + alpha.Name);
    })) << output;
    ASSERT_EQ(found["shortcuts"].size(), 1u) << output;
    EXPECT_TRUE(SamePath(found["shortcuts"][0]["file"].value("path", ""), alpha.Shortcut)) << output;
    EXPECT_TRUE(SamePath(found["shortcuts"][0].value("target", ""), alpha.Exe)) << output;
    EXPECT_EQ(output.find(Narrow(beta.Name)), std::string::npos) << "the neighbour is listed:\n" << output;
    EXPECT_TRUE(fs::exists(alpha.Exe)) << "listing deleted something";

    std::tie(code, output) = RunProgram(exe, L"force-remove \"" + alpha.Name + L"\" --yes --json");
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("The backup store is full"), std::string::npos) << output;
    EXPECT_NE(output.find("Going on without backup (--yes)."), std::string::npos) << output;
    nlohmann::json removal = JsonOf(output)["removal"];
    EXPECT_EQ(removal.value("allRemoved", false), true) << output;
    EXPECT_EQ(removal.value("filesProcessed", -1), found.value("totalFiles", -2)) << output;
    EXPECT_FALSE(fs::exists(alpha.Folder));
    EXPECT_FALSE(fs::exists(alpha.Shortcut));
    EXPECT_FALSE(alpha.KeyExists());
    EXPECT_TRUE(fs::exists(beta.Exe) && fs::exists(beta.Folder / L"data" / L"settings.ini"));
    EXPECT_TRUE(fs::exists(beta.Shortcut));
    EXPECT_TRUE(beta.KeyExists());
    EXPECT_EQ(RunProgram(exe, L"leftovers \"" + alpha.Name + L"\"").first, 4)
        << "the removed program is listed";

    std::tie(code, output) = RunProgram(exe, L"backups --json");
    ASSERT_EQ(code, 0) << output;
    nlohmann::json sets = JsonOf(output);
    ASSERT_TRUE(sets.is_array() && !sets.empty()) << output;
    EXPECT_EQ(sets[0].value("program", ""), Narrow(alpha.Name)) << output;
    EXPECT_EQ(sets[0].value("status", ""), "incomplete") << output;
    const std::wstring id = Widen(sets[0].value("id", ""));

    // What was recorded before the store was full comes back.
    std::tie(code, output) = RunProgram(exe, L"restore " + id);
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("is restored"), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(alpha.Exe)) << output;
    EXPECT_EQ(RunProgram(exe, L"restore " + id).first, 16);
    EXPECT_EQ(RunProgram(exe, L"restore 19991231-235959-0001").first, 15);

    std::tie(code, output) = RunProgram(exe, L"backup-setting off");
    EXPECT_NE(output.find("Forced removals are not backed up."), std::string::npos) << output;
    TComPtr<IRekova> rekova;
    if (DllRoutines::GetInstance(L"RekovaHelper.dll", __uuidof(IRekova),
                                 reinterpret_cast<void**>(rekova.put())))
        rekova->DeleteSet(id.c_str());
}
