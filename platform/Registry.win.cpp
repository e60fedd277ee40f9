#include "platform/Registry.h"

#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velmora {

namespace {

struct TPredefined {
    TRegRoot Root;
    HKEY Key;
};

const std::array<TPredefined, 5> Predefined{{
    {TRegRoot::ClassesRoot, HKEY_CLASSES_ROOT},
    {TRegRoot::CurrentUser, HKEY_CURRENT_USER},
    {TRegRoot::LocalMachine, HKEY_LOCAL_MACHINE},
    {TRegRoot::Users, HKEY_USERS},
    {TRegRoot::CurrentConfig, HKEY_CURRENT_CONFIG},
}};

// RegOpenKeyExW refuses a leading "\"; a trailing one adds nothing.
std::wstring NormalPath(std::wstring_view path) {
    while (!path.empty() && path.front() == L'\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == L'\\')
        path.remove_suffix(1);
    return std::wstring(path);
}

std::wstring JoinPath(std::wstring_view parent, std::wstring_view child) {
    if (parent.empty())
        return std::wstring(child);
    if (child.empty())
        return std::wstring(parent);
    return std::wstring(parent) + L'\\' + std::wstring(child);
}

bool Succeeded(LSTATUS status) {
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

std::wstring DecodeString(const std::vector<BYTE>& data) {
    return DecodeRegText(data);
}

std::vector<std::wstring> DecodeMultiString(const std::vector<BYTE>& data) {
    return DecodeRegMultiText(data);
}

// Reads a value whose type accept() takes. Most values fit the first
// buffer, so one call reads them; a larger one is read again at its size,
// and again while it grows between the calls.
template <class TAccept>
std::optional<TRegValue> QueryValue(HKEY key, std::wstring_view name, TAccept accept) {
    if (!key)
        return std::nullopt;
    std::wstring valueName(name);
    TRegValue value;
    value.Data.resize(512);
    DWORD size = static_cast<DWORD>(value.Data.size());
    LSTATUS status = RegQueryValueExW(key, valueName.c_str(), nullptr, &value.Type, value.Data.data(), &size);
    for (int attempt = 0; attempt < 8 && status == ERROR_MORE_DATA; ++attempt) {
        if (!accept(value.Type))
            return std::nullopt;
        value.Data.resize(size);
        status = RegQueryValueExW(key, valueName.c_str(), nullptr, &value.Type, value.Data.data(), &size);
    }
    if (status != ERROR_SUCCESS || !accept(value.Type))
        return std::nullopt;
    value.Data.resize(size);
    return value;
}

LSTATUS SetValue(HKEY key, std::wstring_view name, DWORD type, const void* data, size_t size) {
    if (size > MAXDWORD)
        return ERROR_INVALID_PARAMETER;
    return RegSetValueExW(key, std::wstring(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size));
}

LSTATUS SetText(HKEY key, std::wstring_view name, DWORD type, std::wstring_view value) {
    std::wstring text(value);
    return SetValue(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// Deletes subkeys first: RegDeleteKeyExW only removes a key without subkeys.
LSTATUS DeleteTree(HKEY parent, const std::wstring& path, REGSAM view) {
    unique_hkey key;
    LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0,
                                   KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE | view, key.put());
    if (status != ERROR_SUCCESS)
        return status;
    for (const auto& name : TRegNameRange(key.get(), TRegNameRange::TKind::SubKeys).ToVector()) {
        status = DeleteTree(key.get(), name, view);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            return status;
    }
    key.reset();
    return RegDeleteKeyExW(parent, path.c_str(), view, 0);
}

LSTATUS CopyTree(const TRegKey& source, const TRegKey& target) {
    for (const auto& name : source.ValueNames().ToVector()) {
        auto value = source.ReadValue(name);
        if (value && !target.WriteValue(name, *value))
            return static_cast<LSTATUS>(GetLastError());
    }
    for (const auto& name : source.SubKeyNames().ToVector()) {
        TRegKey from = source.OpenSubKey(name, KEY_READ);
        TRegKey to = target.CreateSubKey(name, KEY_READ | KEY_WRITE);
        if (!from || !to)
            return from ? to.Status() : from.Status();
        LSTATUS status = CopyTree(from, to);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

} // namespace

std::optional<double> FileTimeToLocalDate(const FILETIME& utc) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local))
        return std::nullopt;
    uint64_t ticks = (static_cast<uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    // 100 ns ticks since 1601-01-01; OLE dates count days since 1899-12-30.
    constexpr double TicksPerDay = 864000000000.0;
    constexpr double DaysFrom1601To1899 = 109205.0;
    return static_cast<double>(ticks) / TicksPerDay - DaysFrom1601To1899;
}

HKEY RootKey(TRegRoot root) {
    for (const auto& p : Predefined)
        if (p.Root == root)
            return p.Key;
    return nullptr;
}

std::optional<TRegRoot> RootFromKey(HKEY key) {
    for (const auto& p : Predefined)
        if (p.Key == key)
            return p.Root;
    return std::nullopt;
}

REGSAM ViewAccess(TRegView view) {
    return RegViewFlag(view);
}

std::wstring RegistryKeyToStr(REGSAM viewFlags, HKEY root, std::wstring_view path) {
    auto r = RootFromKey(root);
    return r ? RegistryKeyToStr(RegViewFromFlags(viewFlags), *r, path) : std::wstring();
}

// ---- TRegNameRange

TRegNameRange::iterator::iterator(HKEY key, const TRegKeySnapshot* snapshot, TKind kind)
    : FKey(key), FSnapshot(snapshot), FKind(kind), FAtEnd(false) {
    Fetch();
}

TRegNameRange::iterator& TRegNameRange::iterator::operator++() {
    ++FIndex;
    Fetch();
    return *this;
}

void TRegNameRange::iterator::Fetch() {
    if (FSnapshot) {
        const size_t count = FKind == TKind::SubKeys ? FSnapshot->SubKeys.size() : FSnapshot->Values.size();
        if (FIndex >= count) {
            FAtEnd = true;
            FName.clear();
            return;
        }
        FName = FKind == TKind::SubKeys ? FSnapshot->SubKeys[FIndex]->Name : FSnapshot->Values[FIndex].Name;
        return;
    }
    // Key names have at most 255 characters, value names 16383.
    std::wstring buffer(256, L'\0');
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LSTATUS status =
            FKind == TKind::SubKeys
                ? RegEnumKeyExW(FKey, FIndex, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr)
                : RegEnumValueW(FKey, FIndex, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA && buffer.size() < 32768) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != ERROR_SUCCESS) {
            FAtEnd = true;
            FName.clear();
            return;
        }
        buffer.resize(length);
        FName = std::move(buffer);
        return;
    }
}

std::vector<std::wstring> TRegNameRange::ToVector() const {
    std::vector<std::wstring> names;
    for (const auto& name : *this)
        names.push_back(name);
    return names;
}

// ---- TRegKey

TRegKey::TRegKey(unique_hkey key, TRegView view, std::optional<TRegRoot> root, std::wstring path)
    : FKey(std::move(key)), FView(view), FRoot(root), FPath(NormalPath(path)),
      FStatus(FKey ? ERROR_SUCCESS : ERROR_INVALID_HANDLE) {}

TRegKey TRegKey::Open(HKEY root, std::wstring_view path, REGSAM access, TRegView view) {
    std::wstring normal = NormalPath(path);
    unique_hkey key;
    LSTATUS status = RegOpenKeyExW(root, normal.c_str(), 0, access | ViewAccess(view), key.put());
    TRegKey result(std::move(key), view, RootFromKey(root), normal);
    result.FStatus = status;
    return result;
}

TRegKey TRegKey::Open(TRegRoot root, std::wstring_view path, REGSAM access, TRegView view) {
    return Open(RootKey(root), path, access, view);
}

TRegKey TRegKey::Open(const TRegistryKey& key, REGSAM access) {
    return Open(key.Root, key.Path, access, key.View);
}

TRegKey TRegKey::FromSnapshot(std::shared_ptr<const TRegKeySnapshot> snapshot, const TRegistryKey& key) {
    if (!snapshot) {
        TRegKey missing;
        missing.FStatus = ERROR_FILE_NOT_FOUND;
        return missing;
    }
    // A key the walk did not go into is read from the registry.
    if (!snapshot->ValuesRead || !snapshot->SubKeysRead)
        return Open(key);
    TRegKey result;
    result.FView = key.View;
    result.FRoot = key.Root;
    result.FPath = NormalPath(key.Path);
    TRegKeyInfo info;
    info.SubKeyCount = static_cast<DWORD>(snapshot->SubKeys.size());
    info.ValueCount = static_cast<DWORD>(snapshot->Values.size());
    for (const auto& subKey : snapshot->SubKeys)
        info.MaxSubKeyLength = std::max(info.MaxSubKeyLength, static_cast<DWORD>(subKey->Name.size()));
    for (const auto& value : snapshot->Values) {
        info.MaxValueNameLength = std::max(info.MaxValueNameLength, static_cast<DWORD>(value.Name.size()));
        info.MaxValueDataSize = std::max(info.MaxValueDataSize, static_cast<DWORD>(value.Data.size()));
    }
    info.LastWriteTime.dwLowDateTime = static_cast<DWORD>(snapshot->LastWriteTime);
    info.LastWriteTime.dwHighDateTime = static_cast<DWORD>(snapshot->LastWriteTime >> 32);
    result.FInfo = info;
    result.FSnapshot = std::move(snapshot);
    result.FStatus = ERROR_SUCCESS;
    return result;
}

TRegKey TRegKey::Create(HKEY root, std::wstring_view path, REGSAM access, TRegView view) {
    std::wstring normal = NormalPath(path);
    unique_hkey key;
    LSTATUS status = RegCreateKeyExW(root, normal.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     access | ViewAccess(view), nullptr, key.put(), nullptr);
    TRegKey result(std::move(key), view, RootFromKey(root), normal);
    result.FStatus = status;
    return result;
}

TRegKey TRegKey::Create(TRegRoot root, std::wstring_view path, REGSAM access, TRegView view) {
    return Create(RootKey(root), path, access, view);
}

TRegKey TRegKey::OpenOrThrow(HKEY root, std::wstring_view path, REGSAM access, TRegView view) {
    TRegKey key = Open(root, path, access, view);
    if (!key)
        throw EOSError(Format(L"Cannot open registry key %s", RegistryKeyToStr(ViewAccess(view), root, path)),
                       static_cast<DWORD>(key.Status()));
    return key;
}

TRegKey TRegKey::CreateOrThrow(HKEY root, std::wstring_view path, REGSAM access, TRegView view) {
    TRegKey key = Create(root, path, access, view);
    if (!key)
        throw EOSError(
            Format(L"Cannot create registry key %s", RegistryKeyToStr(ViewAccess(view), root, path)),
            static_cast<DWORD>(key.Status()));
    return key;
}

TRegistryKey TRegKey::SubKeyName(std::wstring_view path) const {
    return {FView, FRoot.value_or(TRegRoot::LocalMachine), JoinPath(FPath, NormalPath(path))};
}

TRegKey TRegKey::OpenSubKey(std::wstring_view path, REGSAM access) const {
    std::wstring normal = NormalPath(path);
    // For reading, a walk's snapshot answers as far as it listed the subkeys.
    const bool reading = (access & ~static_cast<REGSAM>(KEY_READ)) == 0;
    if (FSnapshot && FRoot && reading && !normal.empty()) {
        std::shared_ptr<const TRegKeySnapshot> node = FSnapshot;
        std::wstring_view rest = normal;
        while (node && !rest.empty()) {
            if (!node->SubKeysRead) {
                node = nullptr;
                break;
            }
            const size_t split = rest.find(L'\\');
            auto child = node->FindSubKey(rest.substr(0, split));
            if (!child) {
                TRegKey missing;
                missing.FStatus = ERROR_FILE_NOT_FOUND;
                return missing;
            }
            node = std::move(child);
            rest = split == std::wstring_view::npos ? std::wstring_view() : rest.substr(split + 1);
        }
        if (node)
            return FromSnapshot(std::move(node), SubKeyName(normal));
    }
    if (!FKey)
        return FRoot ? Open(SubKeyName(normal), access) : TRegKey();
    unique_hkey key;
    LSTATUS status = RegOpenKeyExW(FKey.get(), normal.c_str(), 0, access | ViewAccess(FView), key.put());
    TRegKey result(std::move(key), FView, FRoot, JoinPath(FPath, normal));
    result.FStatus = status;
    return result;
}

TRegKey TRegKey::CreateSubKey(std::wstring_view path, REGSAM access) const {
    if (!FKey)
        return {};
    std::wstring normal = NormalPath(path);
    unique_hkey key;
    LSTATUS status = RegCreateKeyExW(FKey.get(), normal.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     access | ViewAccess(FView), nullptr, key.put(), nullptr);
    TRegKey result(std::move(key), FView, FRoot, JoinPath(FPath, normal));
    result.FStatus = status;
    return result;
}

std::wstring KeyObjectName(HKEY key) {
    // NtQueryKey with KeyNameInformation (3): a byte count, then the name.
    using TNtQueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = ModuleFunction<TNtQueryKey>(L"ntdll.dll", "NtQueryKey");
    if (!query)
        return {};
    std::vector<BYTE> buffer(1024);
    ULONG needed = 0;
    LONG status = query(key, 3, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status < 0 && needed > buffer.size()) {
        buffer.resize(needed);
        status = query(key, 3, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    }
    if (status < 0)
        return {};
    ULONG length = 0;
    std::memcpy(&length, buffer.data(), sizeof(length));
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(length)),
                        length / sizeof(wchar_t));
}

std::wstring TRegKey::KeyText() const {
    return FRoot ? RegistryKeyToStr(FView, *FRoot, FPath) : std::wstring();
}

std::wstring TRegKey::ObjectName() const {
    return FKey ? KeyObjectName(FKey.get()) : std::wstring();
}

bool TRegKey::ForEachValue(
    const std::function<void(const std::wstring& name, const TRegValue& value)>& step) const {
    if (ValuesFromSnapshot()) {
        for (const auto& value : FSnapshot->Values)
            step(value.Name, TRegValue{value.Type, value.Data});
        return true;
    }
    auto info = KeyInfo();
    return info && WalkValues(*info, step);
}

bool TRegKey::WalkValues(
    const TRegKeyInfo& info,
    const std::function<void(const std::wstring& name, const TRegValue& value)>& step) const {
    std::wstring name(info.MaxValueNameLength + 1, L'\0');
    std::vector<BYTE> data(std::max<DWORD>(info.MaxValueDataSize, 1));
    for (DWORD index = 0, retries = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        TRegValue value;
        LSTATUS status = RegEnumValueW(FKey.get(), index, name.data(), &nameLength, nullptr, &value.Type,
                                       data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            return true;
        if (status == ERROR_MORE_DATA && retries++ < 8) {
            // A value grew during the walk.
            name.resize(std::max<size_t>(name.size() * 2, 256));
            data.resize(std::max<size_t>(data.size(), size));
            continue;
        }
        if (status != ERROR_SUCCESS)
            return false;
        value.Data.assign(data.begin(), data.begin() + size);
        step(std::wstring(name.data(), nameLength), value);
        ++index;
        retries = 0;
    }
}

void TRegKey::CacheValues() {
    if (FSnapshot || !FKey)
        return;
    auto info = KeyInfo();
    if (!info)
        return;
    auto snapshot = std::make_shared<TRegKeySnapshot>();
    snapshot->LastWriteTime =
        (static_cast<uint64_t>(info->LastWriteTime.dwHighDateTime) << 32) | info->LastWriteTime.dwLowDateTime;
    if (!WalkValues(*info, [&](const std::wstring& name, const TRegValue& value) {
            snapshot->Values.push_back({name, value.Type, value.Data});
        }))
        return;
    snapshot->ValuesRead = true;
    FInfo = info;
    FSnapshot = std::move(snapshot);
}

std::optional<TRegValue> TRegKey::Query(std::wstring_view name, bool (*accept)(DWORD type)) const {
    if (!ValuesFromSnapshot())
        return QueryValue(FKey.get(), name, accept);
    const TRegSnapshotValue* found = FSnapshot->FindValue(name);
    if (!found || !accept(found->Type))
        return std::nullopt;
    return TRegValue{found->Type, found->Data};
}

std::optional<DWORD> TRegKey::ValueType(std::wstring_view name) const {
    if (ValuesFromSnapshot()) {
        const TRegSnapshotValue* found = FSnapshot->FindValue(name);
        return found ? std::optional<DWORD>(found->Type) : std::nullopt;
    }
    if (!FKey)
        return std::nullopt;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(FKey.get(), std::wstring(name).c_str(), nullptr, &type, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return type;
}

std::optional<TRegValue> TRegKey::ReadValue(std::wstring_view name) const {
    return Query(name, [](DWORD) { return true; });
}

std::optional<std::wstring> TRegKey::ReadString(std::wstring_view name) const {
    auto value = Query(name, [](DWORD type) { return type == REG_SZ; });
    return value ? std::optional(DecodeString(value->Data)) : std::nullopt;
}

std::optional<std::wstring> TRegKey::ReadText(std::wstring_view name) const {
    auto value = Query(name, [](DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; });
    return value ? std::optional(DecodeString(value->Data)) : std::nullopt;
}

std::optional<DWORD> TRegKey::ReadNumber(std::wstring_view name) const {
    auto value = Query(name, [](DWORD type) { return type == REG_DWORD; });
    if (!value || value->Data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD number;
    std::memcpy(&number, value->Data.data(), sizeof number);
    return number;
}

std::optional<uint64_t> TRegKey::ReadQword(std::wstring_view name) const {
    auto value = Query(name, [](DWORD type) { return type == REG_QWORD; });
    if (!value || value->Data.size() != sizeof(uint64_t))
        return std::nullopt;
    uint64_t number;
    std::memcpy(&number, value->Data.data(), sizeof number);
    return number;
}

std::optional<std::vector<std::wstring>> TRegKey::ReadMultiString(std::wstring_view name) const {
    auto value = Query(name, [](DWORD type) { return type == REG_MULTI_SZ; });
    return value ? std::optional(DecodeMultiString(value->Data)) : std::nullopt;
}

std::optional<std::vector<BYTE>> TRegKey::ReadBinary(std::wstring_view name) const {
    auto value = Query(name, [](DWORD type) { return type == REG_BINARY; });
    return value ? std::optional(std::move(value->Data)) : std::nullopt;
}

bool TRegKey::WriteString(std::wstring_view name, std::wstring_view value) const {
    return Succeeded(SetText(FKey.get(), name, REG_SZ, value));
}

bool TRegKey::WriteExpandString(std::wstring_view name, std::wstring_view value) const {
    return Succeeded(SetText(FKey.get(), name, REG_EXPAND_SZ, value));
}

bool TRegKey::WriteNumber(std::wstring_view name, DWORD value) const {
    return Succeeded(SetValue(FKey.get(), name, REG_DWORD, &value, sizeof value));
}

bool TRegKey::WriteQword(std::wstring_view name, uint64_t value) const {
    return Succeeded(SetValue(FKey.get(), name, REG_QWORD, &value, sizeof value));
}

bool TRegKey::WriteMultiString(std::wstring_view name, const std::vector<std::wstring>& value) const {
    std::wstring data;
    for (const auto& s : value)
        if (!s.empty()) {
            data += s;
            data += L'\0';
        }
    data += L'\0';
    if (data.size() == 1)
        data += L'\0';
    return Succeeded(SetValue(FKey.get(), name, REG_MULTI_SZ, data.data(), data.size() * sizeof(wchar_t)));
}

bool TRegKey::WriteBinary(std::wstring_view name, const void* data, size_t size) const {
    return Succeeded(SetValue(FKey.get(), name, REG_BINARY, data, size));
}

bool TRegKey::WriteValue(std::wstring_view name, const TRegValue& value) const {
    return Succeeded(SetValue(FKey.get(), name, value.Type, value.Data.data(), value.Data.size()));
}

bool TRegKey::DeleteValue(std::wstring_view name) const {
    return Succeeded(RegDeleteValueW(FKey.get(), std::wstring(name).c_str()));
}

bool TRegKey::RenameValue(std::wstring_view oldName, std::wstring_view newName) const {
    auto value = ReadValue(oldName);
    if (!value)
        return Succeeded(ERROR_FILE_NOT_FOUND);
    if (SameText(oldName, newName))
        return Succeeded(ERROR_SUCCESS);
    if (ValueExists(newName))
        return Succeeded(ERROR_ALREADY_EXISTS);
    return WriteValue(newName, *value) && DeleteValue(oldName);
}

bool TRegKey::MoveSubKey(std::wstring_view oldPath, std::wstring_view newPath, bool keepOriginal) const {
    std::wstring from = NormalPath(oldPath), to = NormalPath(newPath);
    if (!FKey || from.empty() || to.empty())
        return Succeeded(ERROR_INVALID_PARAMETER);
    TRegKey source = OpenSubKey(from, KEY_READ);
    if (!source)
        return Succeeded(source.Status());
    // Also refuses a target inside the source, which the copy would never finish.
    if (OpenSubKey(to, KEY_QUERY_VALUE) || StartsWithText(to + L'\\', from + L'\\'))
        return Succeeded(ERROR_ALREADY_EXISTS);
    TRegKey target = CreateSubKey(to, KEY_READ | KEY_WRITE);
    if (!target)
        return Succeeded(target.Status());
    LSTATUS status = CopyTree(source, target);
    if (status != ERROR_SUCCESS)
        return Succeeded(status);
    source = {};
    return keepOriginal || DeleteSubKey(from);
}

bool TRegKey::Flush() const {
    return Succeeded(RegFlushKey(FKey.get()));
}

bool TRegKey::DeleteSubKey(std::wstring_view path) const {
    std::wstring normal = NormalPath(path);
    if (!FKey || normal.empty())
        return Succeeded(ERROR_INVALID_PARAMETER);
    return Succeeded(DeleteTree(FKey.get(), normal, ViewAccess(FView)));
}

TRegNameRange TRegKey::SubKeyNames() const {
    if (FSnapshot && FSnapshot->SubKeysRead)
        return {FSnapshot, TRegNameRange::TKind::SubKeys};
    return {FKey.get(), TRegNameRange::TKind::SubKeys};
}

TRegNameRange TRegKey::ValueNames() const {
    if (ValuesFromSnapshot())
        return {FSnapshot, TRegNameRange::TKind::Values};
    return {FKey.get(), TRegNameRange::TKind::Values};
}

std::optional<TRegKeyInfo> TRegKey::KeyInfo() const {
    if (FInfo)
        return FInfo;
    TRegKeyInfo info;
    if (!FKey || RegQueryInfoKeyW(FKey.get(), nullptr, nullptr, nullptr, &info.SubKeyCount,
                                  &info.MaxSubKeyLength, nullptr, &info.ValueCount, &info.MaxValueNameLength,
                                  &info.MaxValueDataSize, nullptr, &info.LastWriteTime) != ERROR_SUCCESS)
        return std::nullopt;
    return info;
}

bool TRegKey::HasSubKeys() const {
    auto info = KeyInfo();
    return info && info->SubKeyCount > 0;
}

std::optional<FILETIME> TRegKey::LastWriteTime() const {
    auto info = KeyInfo();
    return info ? std::optional(info->LastWriteTime) : std::nullopt;
}

std::optional<double> TRegKey::LastWriteDate() const {
    auto time = LastWriteTime();
    return time ? FileTimeToLocalDate(*time) : std::nullopt;
}

bool TRegKey::SetLastWriteTime(const FILETIME& time) const {
    // The native call has no Win32 twin; ntdll is in every process.
    using TSetInformationKey = LONG(NTAPI*)(HANDLE key, int infoClass, void* info, ULONG length);
    static const auto setInformation =
        ModuleFunction<TSetInformationKey>(L"ntdll.dll", "NtSetInformationKey");
    constexpr int KeyWriteTimeInformation = 0;
    if (!FKey || !setInformation)
        return false;
    LARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = static_cast<LONG>(time.dwHighDateTime);
    return setInformation(FKey.get(), KeyWriteTimeInformation, &value, sizeof value) >= 0;
}

bool TRegKey::NotifyChange(HANDLE event, bool watchSubtree, DWORD filter) const {
    return Succeeded(RegNotifyChangeKeyValue(FKey.get(), watchSubtree, filter, event, TRUE));
}

bool TRegKey::NotifyChangeAnyThread(HANDLE event, bool watchSubtree, DWORD filter) const {
    LSTATUS status =
        RegNotifyChangeKeyValue(FKey.get(), watchSubtree, filter | REG_NOTIFY_THREAD_AGNOSTIC, event, TRUE);
    if (status == ERROR_INVALID_PARAMETER)
        status = RegNotifyChangeKeyValue(FKey.get(), watchSubtree, filter, event, TRUE);
    return Succeeded(status);
}

// ---- free functions

bool KeyExists(HKEY root, std::wstring_view path, TRegView view) {
    TRegKey key = TRegKey::Open(root, path, KEY_QUERY_VALUE, view);
    // A key we may not read still exists.
    return key || key.Status() == ERROR_ACCESS_DENIED;
}

bool KeyExists(TRegRoot root, std::wstring_view path, TRegView view) {
    return KeyExists(RootKey(root), path, view);
}

bool DeleteKey(HKEY root, std::wstring_view path, TRegView view) {
    std::wstring normal = NormalPath(path);
    // Never a whole root.
    if (normal.empty())
        return Succeeded(ERROR_INVALID_PARAMETER);
    return Succeeded(DeleteTree(root, normal, ViewAccess(view)));
}

bool DeleteKey(TRegRoot root, std::wstring_view path, TRegView view) {
    return DeleteKey(RootKey(root), path, view);
}

bool ValueExistsIn(HKEY key, std::wstring_view name) {
    return RegQueryValueExW(key, std::wstring(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

} // namespace velmora
