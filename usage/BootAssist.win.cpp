// Programs that start with Windows count as used at every start: the
// shortcuts of the startup folders and the Run keys.
#include "usage/UsageSources.h"

#include "platform/Files.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <oleauto.h>
#include <shlobj.h>

namespace velmora {

namespace {

constexpr std::wstring_view RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::wstring_view CommonStartupId = L"{82A5EA35-D9CD-47C5-9629-E15D2F714E6E}";
constexpr std::wstring_view UserStartupId = L"{B97D20BB-F46A-4C97-BA10-5E3608430854}";
constexpr int32_t StartsCounter = 100;

std::wstring StartupFolder(std::wstring_view knownFolder, int csidl) {
    if (IsWindowsVistaOrLater())
        return KnownFolderPath(knownFolder).value_or(std::wstring());
    return SpecialFolder(csidl);
}

std::vector<std::wstring> StartupShortcuts() {
    std::vector<std::wstring> links;
    for (const std::wstring& folder : {StartupFolder(CommonStartupId, CSIDL_COMMON_STARTUP),
                                       StartupFolder(UserStartupId, CSIDL_STARTUP)}) {
        if (folder.empty())
            continue;
        const std::wstring prefix = IncludeTrailingBackslash(folder);
        for (const TFindData& entry : FindFiles(prefix + L"*.lnk"))
            if (!entry.IsFolder())
                links.push_back(prefix + std::wstring(entry.Name()));
    }
    return links;
}

// The program of each text value, local machine first. On 64-bit Windows the
// machine's key is read in the 64-bit view, then in the 32-bit one; the
// user's key is one key in both views.
std::vector<std::wstring> RunPrograms() {
    const std::vector<std::pair<HKEY, TRegView>> keys =
        Is64BitWindows() ? std::vector<std::pair<HKEY, TRegView>>{{HKEY_LOCAL_MACHINE, TRegView::x64},
                                                                  {HKEY_LOCAL_MACHINE, TRegView::x32},
                                                                  {HKEY_CURRENT_USER, TRegView::x64}}
                         : std::vector<std::pair<HKEY, TRegView>>{{HKEY_LOCAL_MACHINE, TRegView::Default},
                                                                  {HKEY_CURRENT_USER, TRegView::Default}};
    std::vector<std::wstring> programs;
    for (const auto& [root, view] : keys) {
        const TRegKey key = TRegKey::Open(root, RunKey, KEY_READ, view);
        if (!key)
            continue;
        for (const std::wstring& name : key.ValueNames().ToVector())
            if (const std::optional<std::wstring> command = key.ReadText(name))
                programs.push_back(ProgramOfCommand(*command));
    }
    return programs;
}

} // namespace

TBootAssist::TBootAssist() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    double today = 0;
    SystemTimeToVariantTime(&now, &today);
    constexpr double MillisecondsPerDay = 86400000.0;
    FBootTime = today - static_cast<double>(MillisecondsSinceBoot()) / MillisecondsPerDay;
}

void TBootAssist::Collect() {
    std::vector<std::wstring> files = StartupShortcuts();
    std::vector<std::wstring> programs = RunPrograms();
    files.insert(files.end(), programs.begin(), programs.end());
    for (const std::wstring& file : files) {
        TUsageItem& item = FItems.Add();
        item.FFileName = file;
        item.FCounter = StartsCounter;
        item.FLastUsed = FBootTime;
    }
    ProcessShortcutRecords(FItems);
}

void TBootAssist::Fill(TUsageItems& items) {
    if (!FCollected) {
        Collect();
        FCollected = true;
    }
    items.Merge(FItems);
}

} // namespace velmora
