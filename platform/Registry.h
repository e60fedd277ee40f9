#pragma once
// Registry keys: an owner over unique_hkey with typed readers, writers,
// subkey and value ranges, recursive delete and change notification.
//
// Opening never throws: a key that cannot be opened is an empty TRegKey
// (false in a boolean context) and the status is kept for the caller.
// Readers answer std::optional; a value of another type than the reader's is
// absent by construction. Writers and deleters answer bool and leave the
// system error in GetLastError().
#include "platform/Handles.h"
#include "platform/RegistryKeyText.h"
#include "platform/RegistrySnapshot.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

HKEY RootKey(TRegRoot root);
// An open key's name in the registry's own namespace ("\REGISTRY\Machine\...");
// empty when the system does not tell.
std::wstring KeyObjectName(HKEY key);
// The predefined key as a root; nothing for any other handle.
std::optional<TRegRoot> RootFromKey(HKEY key);
// KEY_WOW64_32KEY / KEY_WOW64_64KEY for the view; 0 for the default view.
REGSAM ViewAccess(TRegView view);
// The key text of an HKEY root (predefined keys only), view flags and path.
std::wstring RegistryKeyToStr(REGSAM viewFlags, HKEY root, std::wstring_view path);

// Names of the subkeys or values of an open key, or of a key as a walk read
// it, for range-for. The key must not change while it is walked (collect
// with ToVector() before deleting).
class TRegNameRange {
public:
    enum class TKind { SubKeys, Values };

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::wstring;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::wstring*;
        using reference = const std::wstring&;

        iterator() = default;
        iterator(HKEY key, const TRegKeySnapshot* snapshot, TKind kind);
        reference operator*() const { return FName; }
        pointer operator->() const { return &FName; }
        iterator& operator++();
        void operator++(int) { ++*this; }
        bool operator==(const iterator& other) const {
            return FAtEnd == other.FAtEnd && (FAtEnd || FIndex == other.FIndex);
        }

    private:
        void Fetch();
        HKEY FKey = nullptr;
        const TRegKeySnapshot* FSnapshot = nullptr;
        TKind FKind = TKind::SubKeys;
        DWORD FIndex = 0;
        bool FAtEnd = true;
        std::wstring FName;
    };

    TRegNameRange(HKEY key, TKind kind) : FKey(key), FKind(kind) {}
    TRegNameRange(std::shared_ptr<const TRegKeySnapshot> snapshot, TKind kind)
        : FKey(nullptr), FSnapshot(std::move(snapshot)), FKind(kind) {}
    iterator begin() const { return FKey || FSnapshot ? iterator(FKey, FSnapshot.get(), FKind) : iterator(); }
    iterator end() const { return {}; }
    std::vector<std::wstring> ToVector() const;

private:
    HKEY FKey;
    std::shared_ptr<const TRegKeySnapshot> FSnapshot;
    TKind FKind;
};

// What RegQueryInfoKeyW tells about a key.
struct TRegKeyInfo {
    DWORD SubKeyCount = 0;
    DWORD ValueCount = 0;
    DWORD MaxSubKeyLength = 0;    // characters, without terminator
    DWORD MaxValueNameLength = 0; // characters, without terminator
    DWORD MaxValueDataSize = 0;   // bytes
    FILETIME LastWriteTime{};     // UTC
};

// A value of any type as stored.
struct TRegValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

class TRegKey {
public:
    TRegKey() = default;
    // Takes ownership of an open key; root and path only serve KeyText().
    explicit TRegKey(unique_hkey key, TRegView view = TRegView::Default,
                     std::optional<TRegRoot> root = std::nullopt, std::wstring path = {});

    static TRegKey Open(HKEY root, std::wstring_view path, REGSAM access = KEY_READ,
                        TRegView view = TRegView::Default);
    static TRegKey Open(TRegRoot root, std::wstring_view path, REGSAM access = KEY_READ,
                        TRegView view = TRegView::Default);
    static TRegKey Open(const TRegistryKey& key, REGSAM access = KEY_READ);
    // The key as a walk read it (values, subkeys and write time), named by
    // key. Readers, ranges and the key information answer from the
    // snapshot without asking the registry; a subkey the walk went into is
    // opened the same way, any other one is opened in the registry. Such a
    // key has no handle: it cannot be written or watched. Empty for a null
    // snapshot.
    static TRegKey FromSnapshot(std::shared_ptr<const TRegKeySnapshot> snapshot, const TRegistryKey& key);
    // Opens the key, creating it and its missing parents.
    static TRegKey Create(HKEY root, std::wstring_view path, REGSAM access = KEY_READ | KEY_WRITE,
                          TRegView view = TRegView::Default);
    static TRegKey Create(TRegRoot root, std::wstring_view path, REGSAM access = KEY_READ | KEY_WRITE,
                          TRegView view = TRegView::Default);
    // Throwing twins for callers where a missing key is an error (EOSError).
    static TRegKey OpenOrThrow(HKEY root, std::wstring_view path, REGSAM access = KEY_READ,
                               TRegView view = TRegView::Default);
    static TRegKey CreateOrThrow(HKEY root, std::wstring_view path, REGSAM access = KEY_READ | KEY_WRITE,
                                 TRegView view = TRegView::Default);

    // Subkeys in the same view (for reading, from the snapshot when the key
    // has one that lists them).
    TRegKey OpenSubKey(std::wstring_view path, REGSAM access = KEY_READ) const;
    TRegKey CreateSubKey(std::wstring_view path, REGSAM access = KEY_READ | KEY_WRITE) const;

    // Open, or read by a walk.
    explicit operator bool() const { return FKey || FSnapshot; }
    HKEY Handle() const { return FKey.get(); }
    // What a walk or CacheValues read of the key; null when it was not read.
    const std::shared_ptr<const TRegKeySnapshot>& Snapshot() const { return FSnapshot; }
    TRegView View() const { return FView; }
    // The status of the open or create that made this object (ERROR_SUCCESS when open).
    LSTATUS Status() const { return FStatus; }
    // The key text ("(x64)HKEY_LOCAL_MACHINE\Software\..."); empty when the
    // key was not opened from a predefined root.
    std::wstring KeyText() const;
    // The key's name in the registry's own namespace ("\REGISTRY\Machine\...").
    // Two views of one key text name one key when their object names are
    // equal. Empty for a key without a handle or when the system does not tell.
    std::wstring ObjectName() const;

    // Reads all values of the key in one walk; the readers of this object
    // and KeyInfo then answer from that copy (writes are not reflected). For a
    // key read for many values, most of them absent: one call per value
    // present instead of one per name asked. Without effect when the walk
    // fails or the key was read by a walk already.
    void CacheValues();
    // Calls step(name, value) for every value in the registry's order, name
    // and data read in one call each; false when the walk could not finish.
    bool
    ForEachValue(const std::function<void(const std::wstring& name, const TRegValue& value)>& step) const;

    // Type of a value; nothing when it does not exist.
    std::optional<DWORD> ValueType(std::wstring_view name) const;
    bool ValueExists(std::wstring_view name) const { return ValueType(name).has_value(); }

    std::optional<std::wstring> ReadString(std::wstring_view name) const; // REG_SZ
    std::optional<std::wstring> ReadText(std::wstring_view name) const; // REG_SZ or REG_EXPAND_SZ, unexpanded
    std::optional<DWORD> ReadNumber(std::wstring_view name) const;      // REG_DWORD
    std::optional<uint64_t> ReadQword(std::wstring_view name) const;    // REG_QWORD
    std::optional<std::vector<std::wstring>> ReadMultiString(std::wstring_view name) const; // REG_MULTI_SZ
    std::optional<std::vector<BYTE>> ReadBinary(std::wstring_view name) const;              // REG_BINARY
    std::optional<TRegValue> ReadValue(std::wstring_view name) const;                       // any type

    bool WriteString(std::wstring_view name, std::wstring_view value) const;
    bool WriteExpandString(std::wstring_view name, std::wstring_view value) const;
    bool WriteNumber(std::wstring_view name, DWORD value) const;
    bool WriteQword(std::wstring_view name, uint64_t value) const;
    // Empty entries cannot be stored (an empty string ends the list) and are left out.
    bool WriteMultiString(std::wstring_view name, const std::vector<std::wstring>& value) const;
    bool WriteBinary(std::wstring_view name, const void* data, size_t size) const;
    bool WriteValue(std::wstring_view name, const TRegValue& value) const;
    bool DeleteValue(std::wstring_view name) const;
    // Gives a value another name; false when it is missing or the new name is taken.
    bool RenameValue(std::wstring_view oldName, std::wstring_view newName) const;
    // Deletes a subkey with everything below it.
    bool DeleteSubKey(std::wstring_view path) const;
    // Copies a subkey with its values and subkeys to a new subkey (both
    // relative to this key, same view), then deletes the original unless
    // keepOriginal. False when the source is missing or the target exists.
    bool MoveSubKey(std::wstring_view oldPath, std::wstring_view newPath, bool keepOriginal = false) const;
    // Writes the key's changes to disk now (RegFlushKey).
    bool Flush() const;

    TRegNameRange SubKeyNames() const;
    TRegNameRange ValueNames() const;
    std::optional<TRegKeyInfo> KeyInfo() const;
    bool HasSubKeys() const;

    // Last write time of the key: as stored (UTC), and as a local OLE date.
    std::optional<FILETIME> LastWriteTime() const;
    std::optional<double> LastWriteDate() const;
    // Sets the last write time (the key needs KEY_SET_VALUE); false when the
    // system refused. A system may accept the call without changing the
    // time: read it back where that matters.
    bool SetLastWriteTime(const FILETIME& time) const;

    // Arms an asynchronous change notification that signals event. It lasts
    // until it fires or the key is closed; closing the key while it is
    // pending signals the event too, so a watch that goes on arms the key it
    // keeps again once the event fired. Before Windows 8 it also ends with
    // the thread that armed it, so arm it from a thread that outlives the wait
    // (from Windows 8 on, REG_NOTIFY_THREAD_AGNOSTIC in filter lifts that).
    bool NotifyChange(HANDLE event, bool watchSubtree = true,
                      DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET) const;
    // NotifyChange with REG_NOTIFY_THREAD_AGNOSTIC, for watches armed by
    // whichever thread polls them. A system that rejects the flag as an
    // invalid parameter (before Windows 8) is asked without it.
    bool NotifyChangeAnyThread(HANDLE event, bool watchSubtree = true,
                               DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET) const;

private:
    // A value whose type accept() takes, from the cache or the key.
    std::optional<TRegValue> Query(std::wstring_view name, bool (*accept)(DWORD type)) const;

    // The value walk of ForEachValue over a key described by info.
    bool WalkValues(const TRegKeyInfo& info,
                    const std::function<void(const std::wstring& name, const TRegValue& value)>& step) const;
    // The values come from FSnapshot.
    bool ValuesFromSnapshot() const { return FSnapshot && FSnapshot->ValuesRead; }
    // The key this one names with path below it.
    TRegistryKey SubKeyName(std::wstring_view path) const;

    unique_hkey FKey;
    std::shared_ptr<const TRegKeySnapshot> FSnapshot;
    // KeyInfo as CacheValues or the snapshot gave it.
    std::optional<TRegKeyInfo> FInfo;
    TRegView FView = TRegView::Default;
    std::optional<TRegRoot> FRoot;
    std::wstring FPath;
    LSTATUS FStatus = ERROR_INVALID_HANDLE;
};

// A UTC file time as a local OLE date, as LastWriteDate answers it.
std::optional<double> FileTimeToLocalDate(const FILETIME& utc);

bool KeyExists(HKEY root, std::wstring_view path, TRegView view = TRegView::Default);
bool KeyExists(TRegRoot root, std::wstring_view path, TRegView view = TRegView::Default);
// Deletes a key with all its subkeys and values in the given view. False when
// the key does not exist (ERROR_FILE_NOT_FOUND) or a part could not be deleted.
bool DeleteKey(HKEY root, std::wstring_view path, TRegView view = TRegView::Default);
bool DeleteKey(TRegRoot root, std::wstring_view path, TRegView view = TRegView::Default);
// A value of that name exists in a key opened by someone else (the handle stays theirs).
bool ValueExistsIn(HKEY key, std::wstring_view name);

} // namespace velmora
