#include "locations/LocationExeInfo.h"

#include "frame/DebugLog.h"
#include "inventory/ExeRules.h"
#include "inventory/ItemFolder.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <windows.h>
#include <shlobj.h>

namespace velmora {

namespace {

constexpr std::wstring_view RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::wstring_view UserAssistSettingsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\Settings";
constexpr std::wstring_view UserAssistCountKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\"
    L"{75048700-EF1F-11D0-9888-006097DEACF9}\\Count";

// Depth first; every shortcut found is added.
void AddShortcutsBelow(const std::wstring& folder) {
    TLocationUninstall::CheckTerminated();
    const std::wstring prefix = IncludeTrailingBackslash(folder);
    for (const TFindData& entry : FindFiles(Format(L"%s*.*", prefix))) {
        const std::wstring path = prefix + std::wstring(entry.Name());
        if (entry.IsFolder())
            AddShortcutsBelow(path);
        else if (SameText(ExtractFileExt(path), L".lnk"))
            TItemFolder::AddItem(path);
    }
}

void AddStartMenu() {
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        const std::wstring folder = SpecialFolder(csidl);
        if (!folder.empty())
            AddShortcutsBelow(folder);
    }
}

void AddRunKeys() {
    // On 64-bit Windows both views, the 32-bit one (where 32-bit programs
    // register) first, whatever the bitness of this build.
    std::vector<TRegView> views = {TRegView::Default};
    if (Is64BitWindows())
        views = {TRegView::x32, TRegView::x64};
    for (TRegView view : views) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            const TRegKey key = TRegKey::Open(root, RunKey, KEY_READ, view);
            if (!key)
                continue;
            for (const std::wstring& name : key.ValueNames().ToVector()) {
                const std::optional<std::wstring> text = key.ReadText(name);
                if (!text)
                    continue;
                if (const auto file = RunValueExecutable(*text))
                    TItemFolder::AddItem(*file);
            }
        }
    }
}

void AddUsageRecords() {
    bool encoded = true;
    if (const TRegKey settings =
            TRegKey::Open(HKEY_CURRENT_USER, UserAssistSettingsKey, KEY_READ, TRegView::x64)) {
        if (const auto noEncrypt = settings.ReadNumber(L"NoEncrypt"))
            encoded = *noEncrypt == 0;
    }
    const TRegKey count = TRegKey::Open(HKEY_CURRENT_USER, UserAssistCountKey, KEY_READ, TRegView::x64);
    if (!count)
        return;
    std::wstring desktop;
    for (const std::wstring& name : count.ValueNames().ToVector()) {
        if (desktop.empty())
            desktop = SpecialFolder(CSIDL_DESKTOP);
        if (const auto file = UsageRecordFile(name, encoded, desktop))
            TItemFolder::AddItem(*file);
    }
}

} // namespace

void TLocationExeInfo::ReadProgramsSlowInfo() {
    try {
        AddStartMenu();
        AddRunKeys();
        AddUsageRecords();
    } catch (const EAbort&) {
    } catch (...) {
        StatisticsLog::AddError();
    }
}

} // namespace velmora
