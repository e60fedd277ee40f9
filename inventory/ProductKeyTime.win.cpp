#include "inventory/ProductKeyTime.h"

#include "frame/DebugLog.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

namespace {

constexpr wchar_t RecordsPath[] = L"Software\\Velmora\\Helper\\ProductKeyTimes";

// One binary value per product key, named by its key text: the key's last
// write time right after the library's write, then the time it had before.
struct TKeyTimeRecord {
    FILETIME Written;
    FILETIME Before;
};

// Records are written by the size jobs, which run on several threads.
std::mutex RecordsLock;

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// A machine-wide product's record is kept where every user reads it; any
// other product's in the user's registry.
TRegRoot RecordsRoot(std::wstring_view keyText) {
    TRegView view;
    TRegRoot root;
    std::wstring path;
    if (ExtractKeyParams(keyText, view, root, path) && root == TRegRoot::LocalMachine)
        return TRegRoot::LocalMachine;
    return TRegRoot::CurrentUser;
}

std::optional<TKeyTimeRecord> RecordFrom(const std::optional<std::vector<BYTE>>& data) {
    if (!data || data->size() != sizeof(TKeyTimeRecord))
        return std::nullopt;
    TKeyTimeRecord record;
    std::memcpy(&record, data->data(), sizeof record);
    return record;
}

std::optional<TKeyTimeRecord> ReadRecord(const std::wstring& keyText) {
    if (keyText.empty())
        return std::nullopt;
    TRegKey records = TRegKey::Open(RecordsRoot(keyText), RecordsPath, KEY_QUERY_VALUE);
    return records ? RecordFrom(records.ReadBinary(keyText)) : std::nullopt;
}

// A record holds only while its key's last change is the library's write:
// records of keys changed or deleted since then go.
void DropStaleRecords(const TRegKey& records) {
    for (const std::wstring& name : records.ValueNames().ToVector()) {
        auto record = RecordFrom(records.ReadBinary(name));
        TRegView view;
        TRegRoot root;
        std::wstring path;
        std::optional<FILETIME> time;
        if (record && ExtractKeyParams(name, view, root, path))
            time = TRegKey::Open(root, path, KEY_QUERY_VALUE, view).LastWriteTime();
        if (!time || !SameTime(*time, record->Written))
            records.DeleteValue(name);
    }
}

void WriteRecord(const std::wstring& keyText, const TKeyTimeRecord& record) {
    std::lock_guard lock(RecordsLock);
    TRegKey records = TRegKey::Create(RecordsRoot(keyText), RecordsPath, KEY_READ | KEY_WRITE);
    if (!records || !records.WriteBinary(keyText, &record, sizeof record)) {
        DebugLog().WriteLogF(TLogLevel::llWarning, L"The earlier write time of %s could not be recorded.",
                             keyText);
        return;
    }
    DropStaleRecords(records);
}

} // namespace

std::optional<FILETIME> ProductKeyTime(const TRegKey& key) {
    std::optional<FILETIME> time = key.LastWriteTime();
    if (!time)
        return time;
    if (auto record = ReadRecord(key.KeyText()); record && SameTime(record->Written, *time))
        return record->Before;
    return time;
}

bool ProductKeyWrite(const TRegKey& key, const std::function<bool()>& write) {
    const std::optional<FILETIME> before = ProductKeyTime(key);
    if (!write())
        return false;
    if (!before)
        return true;
    std::optional<FILETIME> after = key.LastWriteTime();
    if (after && !SameTime(*after, *before) && key.SetLastWriteTime(*before))
        after = key.LastWriteTime();
    // Restored (or nothing changed).
    if (!after || SameTime(*after, *before))
        return true;
    std::wstring keyText = key.KeyText();
    if (!keyText.empty())
        WriteRecord(keyText, {*after, *before});
    return true;
}

} // namespace velmora
