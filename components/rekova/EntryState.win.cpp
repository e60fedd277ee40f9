#include "components/rekova/EntryState.h"

#include "platform/Handles.h"
#include "platform/Paths.h"

#include <cwchar>
#include <string>

namespace velmora::rekova {

namespace {

constexpr uint64_t TicksPerSecond = 10'000'000;

std::wstring TimeText(const FILETIME& time) {
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    SYSTEMTIME s;
    if (!FileTimeToSystemTime(&time, &s))
        return std::to_wstring(ticks);
    wchar_t text[40];
    swprintf(text, 40, L"%04u-%02u-%02u %02u:%02u:%02u.%07u", s.wYear, s.wMonth, s.wDay, s.wHour, s.wMinute,
             s.wSecond, static_cast<unsigned>(ticks % TicksPerSecond));
    return text;
}

std::optional<FILETIME> TimeFromText(const std::wstring& text) {
    unsigned year, month, day, hour, minute, second, fraction;
    if (swscanf(text.c_str(), L"%u-%u-%u %u:%u:%u.%u", &year, &month, &day, &hour, &minute, &second,
                &fraction) != 7)
        return std::nullopt;
    SYSTEMTIME s{static_cast<WORD>(year),
                 static_cast<WORD>(month),
                 0,
                 static_cast<WORD>(day),
                 static_cast<WORD>(hour),
                 static_cast<WORD>(minute),
                 static_cast<WORD>(second),
                 0};
    FILETIME time;
    if (!SystemTimeToFileTime(&s, &time))
        return std::nullopt;
    uint64_t ticks = ((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) + fraction;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

} // namespace

std::optional<TEntryState> ReadEntryState(std::wstring_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(std::wstring(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return TEntryState{data.dwFileAttributes, data.ftCreationTime, data.ftLastAccessTime,
                       data.ftLastWriteTime};
}

void PutEntryState(TRecord& record, const TEntryState& state) {
    wchar_t attributes[16];
    swprintf(attributes, 16, L"0x%08X", static_cast<unsigned>(state.Attributes));
    record.SetField(L"attributes", attributes);
    record.SetField(L"created", TimeText(state.Created));
    record.SetField(L"accessed", TimeText(state.Accessed));
    record.SetField(L"written", TimeText(state.Written));
}

std::optional<TEntryState> EntryStateOf(const TRecord& record) {
    auto created = TimeFromText(record.Field(L"created"));
    auto accessed = TimeFromText(record.Field(L"accessed"));
    auto written = TimeFromText(record.Field(L"written"));
    std::wstring attributes = record.Field(L"attributes");
    if (!created || !accessed || !written || attributes.empty())
        return std::nullopt;
    return TEntryState{static_cast<DWORD>(std::wcstoul(attributes.c_str(), nullptr, 16)), *created, *accessed,
                       *written};
}

bool ApplyEntryState(std::wstring_view path, const TEntryState& state) {
    std::wstring name(path);
    // A read-only entry takes new times only once the attribute is off.
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    {
        unique_file entry(CreateFileW(name.c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!entry || !SetFileTime(entry.get(), &state.Created, &state.Accessed, &state.Written))
            return false;
    }
    // Bits the file system keeps by itself are not for SetFileAttributesW.
    DWORD settable =
        state.Attributes &
        (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY);
    return SetFileAttributesW(name.c_str(), settable ? settable : FILE_ATTRIBUTE_NORMAL);
}

bool CreateFolderPath(std::wstring_view path) {
    std::wstring folder(path);
    if (FolderExists(folder))
        return true;
    size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !CreateFolderPath(folder.substr(0, slash)))
        return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace velmora::rekova
