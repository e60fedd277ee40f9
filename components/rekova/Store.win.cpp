#include "components/rekova/Store.h"

#include "components/rekova/EntryState.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/OSError.h"
#include "platform/Paths.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cwchar>

namespace velmora::rekova {

namespace {

constexpr wchar_t ManifestName[] = L"manifest.txt";

std::wstring ManifestPath(std::wstring_view id) {
    return SetFolder(id) + L"\\" + ManifestName;
}

std::wstring LockPath(std::wstring_view id) {
    return SetFolder(id) + L"\\open.lock";
}

} // namespace

std::wstring StoreFolder() {
    return LocalAppDataFolder() + L"\\Velmora\\Backups";
}

std::wstring SetFolder(std::wstring_view id) {
    return StoreFolder() + L"\\" + std::wstring(id);
}

std::wstring CreateSetFolder() {
    CheckOS(CreateFolderPath(StoreFolder()), Format(L"Cannot create the folder %s", StoreFolder()));
    SYSTEMTIME now;
    GetLocalTime(&now);
    // The counter keeps sets begun within one second apart, in order.
    for (int counter = 1; counter <= 9999; ++counter) {
        wchar_t id[32];
        swprintf(id, 32, L"%04u%02u%02u-%02u%02u%02u-%04d", now.wYear, now.wMonth, now.wDay, now.wHour,
                 now.wMinute, now.wSecond, counter);
        if (CreateDirectoryW(SetFolder(id).c_str(), nullptr))
            return id;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw EOSError(Format(L"Cannot create the folder of a backup set in %s", StoreFolder()),
                           GetLastError());
    }
    throw EOSError(L"Too many backup sets begun within one second", ERROR_ALREADY_EXISTS);
}

TSetLock::TSetLock(std::wstring_view id)
    : FFile(CreateFileW(LockPath(id).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr)) {
    CheckOS(static_cast<bool>(FFile), Format(L"Cannot lock the backup set %s", id));
}

bool SetInUse(std::wstring_view id) {
    unique_file probe(CreateFileW(LockPath(id).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

std::vector<std::wstring> SetIds() {
    std::vector<std::wstring> ids;
    for (const TFindData& entry : FindFiles(StoreFolder() + L"\\*"))
        if (entry.IsFolder() && FileExists(ManifestPath(entry.Name())))
            ids.emplace_back(entry.Name());
    std::sort(ids.begin(), ids.end(), std::greater<>());
    return ids;
}

std::optional<TManifest> LoadManifest(std::wstring_view id) {
    std::optional<std::string> text = ReadFileBytes(ManifestPath(id));
    return text ? ParseManifest(*text) : std::nullopt;
}

void SaveManifest(const TManifest& manifest) {
    std::wstring path = ManifestPath(manifest.Id);
    std::wstring temporary = path + L".new";
    WriteFileBytes(temporary, FormatManifest(manifest));
    CheckOS(MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
            Format(L"Cannot replace the manifest %s", path));
}

int64_t FolderSize(std::wstring_view folder) {
    int64_t size = 0;
    for (const TFindData& entry : FindFiles(std::wstring(folder) + L"\\*"))
        size += entry.IsFolder() ? FolderSize(std::wstring(folder) + L"\\" + std::wstring(entry.Name()))
                                 : static_cast<int64_t>(entry.Size());
    return size;
}

bool RemoveTree(std::wstring_view folder) {
    std::wstring base(folder);
    bool complete = true;
    for (const TFindData& entry : FindFiles(base + L"\\*")) {
        std::wstring path = base + L"\\" + std::wstring(entry.Name());
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.IsFolder() && !entry.IsReparsePoint())
            complete = RemoveTree(path) && complete;
        else if (entry.IsFolder())
            complete = RemoveDirectoryW(path.c_str()) && complete;
        else
            complete = DeleteFileW(path.c_str()) && complete;
    }
    return RemoveDirectoryW(base.c_str()) && complete;
}

std::optional<std::string> ReadFileBytes(std::wstring_view path) {
    unique_file file(CreateFileW(std::wstring(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size))
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    for (size_t at = 0; at < bytes.size(); at += done)
        if (!ReadFile(file.get(), bytes.data() + at,
                      static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20)), &done, nullptr) ||
            done == 0)
            return std::nullopt;
    return bytes;
}

void WriteFileBytes(std::wstring_view path, std::string_view bytes) {
    std::wstring name(path);
    unique_file file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CheckOS(static_cast<bool>(file), Format(L"Cannot create %s", name));
    DWORD done = 0;
    for (size_t at = 0; at < bytes.size(); at += done)
        CheckOS(WriteFile(file.get(), bytes.data() + at,
                          static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20)), &done, nullptr),
                Format(L"Cannot write %s", name));
    CheckOS(FlushFileBuffers(file.get()), Format(L"Cannot write %s", name));
}

std::wstring LocalTimeText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    return text;
}

double LocalTimeTextToDate(std::wstring_view text) {
    SYSTEMTIME time{};
    unsigned year, month, day, hour, minute, second;
    double date = 0;
    if (swscanf(std::wstring(text).c_str(), L"%u-%u-%u %u:%u:%u", &year, &month, &day, &hour, &minute,
                &second) != 6)
        return 0;
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    return SystemTimeToVariantTime(&time, &date) ? date : 0;
}

} // namespace velmora::rekova
