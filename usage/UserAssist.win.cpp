// The shell's launch counters: one subkey per kind of record under the
// user's UserAssist key, value names in ROT13.
#include "usage/UsageSources.h"

#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "usage/UserAssistRules.h"

#include <shlobj.h>

namespace velmora {

namespace {

constexpr std::wstring_view UserAssistKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist";
constexpr std::wstring_view CurrentVersionKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr std::wstring_view ProgramFilesX64Id = L"{6D809377-6AF0-444B-8957-A3773F02200E}";
constexpr std::wstring_view ProgramFilesCommonX64Id = L"{6365D5A7-0F0D-45E5-87F6-0DA56B6A4F7D}";

using TDecode = std::optional<TUserAssistData> (*)(const uint8_t* data, size_t size);

// Appends the record of one value when its data has the layout's size.
TUsageItem* AddRecord(const std::wstring& keyPath, const std::wstring& valueName, TDecode decode,
                      TUsageItems& items) {
    const TRegKey key = TRegKey::Open(HKEY_CURRENT_USER, keyPath, KEY_READ, TRegView::x64);
    if (!key)
        return nullptr;
    const std::optional<TRegValue> value = key.ReadValue(valueName);
    if (!value)
        return nullptr;
    const std::optional<TUserAssistData> data = decode(value->Data.data(), value->Data.size());
    if (!data)
        return nullptr;
    TUsageItem& item = items.Add();
    item.FCounter = data->Counter;
    item.FFocusCounter = data->FocusCounter;
    item.FFocusTime = data->FocusTime;
    item.FLastUsed = UsageFileTimeToDate(data->LastRun);
    return &item;
}

class TWinXPVistaStrategy : public TAssistStrategy {
public:
    void ProcessEntry(const std::wstring& keyPath, const std::wstring& valueName,
                      TUsageItems& items) override {
        if (TUsageItem* item = AddRecord(keyPath, valueName, DecodeUserAssistXP, items))
            item->FFileName = UserAssistPathXP(Rot13(valueName), SpecialFolder(CSIDL_DESKTOP),
                                               SpecialFolder(CSIDL_COMMON_PROGRAMS));
    }
};

class TWin7Strategy : public TAssistStrategy {
public:
    void ProcessEntry(const std::wstring& keyPath, const std::wstring& valueName,
                      TUsageItems& items) override {
        if (TUsageItem* item = AddRecord(keyPath, valueName, DecodeUserAssistWin7, items))
            item->FFileName = UserAssistPathWin7(Rot13(valueName), FolderOf);
    }

private:
    // A 32-bit process does not get the 64-bit program folders from the
    // shell: they come from the system's own record of them.
    static std::wstring FolderOf(std::wstring_view id) {
        if (std::optional<std::wstring> path = KnownFolderPath(id))
            return *path;
        std::wstring_view value;
        if (SameText(id, ProgramFilesX64Id))
            value = L"ProgramFilesDir";
        else if (SameText(id, ProgramFilesCommonX64Id))
            value = L"CommonFilesDir";
        else
            return {};
        const TRegKey key = TRegKey::Open(HKEY_LOCAL_MACHINE, CurrentVersionKey, KEY_READ, TRegView::x64);
        return key ? key.ReadText(value).value_or(std::wstring()) : std::wstring();
    }
};

} // namespace

TUserAssist::TUserAssist() {
    if (IsWindows7OrLater())
        FStrategy = std::make_unique<TWin7Strategy>();
    else
        FStrategy = std::make_unique<TWinXPVistaStrategy>();
}

TUserAssist::~TUserAssist() = default;

void TUserAssist::Fill(TUsageItems& items) {
    const TRegKey root = TRegKey::Open(HKEY_CURRENT_USER, UserAssistKey, KEY_READ, TRegView::x64);
    if (!root)
        return;
    for (const std::wstring& name : root.SubKeyNames().ToVector()) {
        if (name.size() != BracedIdLength || name.front() != L'{' || name.back() != L'}')
            continue;
        const std::wstring countPath = std::wstring(UserAssistKey) + L"\\" + name + L"\\Count";
        const TRegKey count = TRegKey::Open(HKEY_CURRENT_USER, countPath, KEY_READ, TRegView::x64);
        if (!count)
            continue;
        for (const std::wstring& valueName : count.ValueNames().ToVector())
            FStrategy->ProcessEntry(countPath, valueName, items);
    }
    ProcessShortcutRecords(items);
}

} // namespace velmora
