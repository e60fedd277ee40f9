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

// Text of REG_SZ / REG_EXPAND_SZ data: an odd last byte is dropped, the text
// ends at the first terminator or at the end of the data, whichever comes first.
std::wstring DecodeString(const std::vector<BYTE>& data) {
    size_t count = data.size() / sizeof(wchar_t);
    std::wstring text(count, L'\0');
    std::copy_n(data.data(), count * sizeof(wchar_t), reinterpret_cast<BYTE*>(text.data()));
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return text;
}

// REG_MULTI_SZ: strings up to the first empty one or the end of the data.
std::vector<std::wstring> DecodeMultiString(const std::vector<BYTE>& data) {
    size_t count = data.size() / sizeof(wchar_t);
    std::wstring all(count, L'\0');
    std::copy_n(data.data(), count * sizeof(wchar_t), reinterpret_cast<BYTE*>(all.data()));
    std::vector<std::wstring> list;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find(L'\0', pos);
        if (end == std::wstring::npos)
            end = all.size();
        if (end == pos)
            break;
        list.push_back(all.substr(pos, end - pos));
        pos = end + 1;
    }
    return list;
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

TRegNameRange::iterator::iterator(HKEY key, TKind kind) : FKey(key), FKind(kind) {
    Fetch();
}

TRegNameRange::iterator& TRegNameRange::iterator::operator++() {
    ++FIndex;
    Fetch();
    return *this;
}

void TRegNameRange::iterator::Fetch() {
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
            FKey = nullptr;
            FIndex = 0;
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

TRegKey TRegKey::OpenSubKey(std::wstring_view path, REGSAM access) const {
    if (!FKey)
        return {};
    std::wstring normal = NormalPath(path);
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

std::wstring TRegKey::KeyText() const {
    return FRoot ? RegistryKeyToStr(FView, *FRoot, FPath) : std::wstring();
}

bool TRegKey::TNameLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return CompareText(a, b) < 0;
}

bool TRegKey::ForEachValue(
    const std::function<void(const std::wstring& name, const TRegValue& value)>& step) const {
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
    auto info = KeyInfo();
    if (!info)
        return;
    auto cache = std::make_shared<TValueCache>();
    cache->Info = *info;
    if (WalkValues(*info, [&](const std::wstring& name, const TRegValue& value) {
            cache->Values.emplace(name, value);
        }))
        FValues = std::move(cache);
}

std::optional<TRegValue> TRegKey::Query(std::wstring_view name, bool (*accept)(DWORD type)) const {
    if (!FValues)
        return QueryValue(FKey.get(), name, accept);
    auto found = FValues->Values.find(std::wstring(name));
    if (found == FValues->Values.end() || !accept(found->second.Type))
        return std::nullopt;
    return found->second;
}

std::optional<DWORD> TRegKey::ValueType(std::wstring_view name) const {
    if (!FKey)
        return std::nullopt;
    if (FValues) {
        auto found = FValues->Values.find(std::wstring(name));
        return found == FValues->Values.end() ? std::nullopt : std::optional(found->second.Type);
    }
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

std::optional<TRegKeyInfo> TRegKey::KeyInfo() const {
    if (FValues)
        return FValues->Info;
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

namespace {

void DumpKey(const TRegKey& key, const std::function<void(const std::wstring&)>& writeLine) {
    writeLine(key.KeyText());
    key.ForEachValue([&](const std::wstring& name, const TRegValue& value) {
        std::wstring text;
        std::wstring_view typeName;
        switch (value.Type) {
        case REG_SZ:
            typeName = L"REG_SZ";
            text = DecodeString(value.Data);
            break;
        case REG_MULTI_SZ:
            typeName = L"REG_MULTISZ";
            for (const auto& s : DecodeMultiString(value.Data))
                text += (text.empty() ? L"" : L", ") + s;
            break;
        case REG_DWORD: {
            DWORD number;
            if (value.Data.size() != sizeof number)
                return;
            std::memcpy(&number, value.Data.data(), sizeof number);
            typeName = L"REG_DWORD";
            text = std::to_wstring(number);
            break;
        }
        default:
            return;
        }
        writeLine(Format(L"%s (%s) = \"%s\"", name, typeName, text));
    });
    writeLine(L"");
    for (const auto& name : key.SubKeyNames().ToVector())
        if (TRegKey sub = key.OpenSubKey(name, KEY_READ))
            DumpKey(sub, writeLine);
}

} // namespace

void DumpRegistryKey(TRegRoot root, std::wstring_view path, TRegView view,
                     const std::function<void(const std::wstring& line)>& writeLine) {
    if (TRegKey key = TRegKey::Open(root, path, KEY_READ, view))
        DumpKey(key, writeLine);
}

} // namespace velmora
