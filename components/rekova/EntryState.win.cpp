#include "components/rekova/EntryState.h"

#include "platform/Handles.h"
#include "platform/Paths.h"

#include <winioctl.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>
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

namespace {

// The reparse data of a junction or a symbolic link (the system's
// REPARSE_DATA_BUFFER, which only the driver kit declares).
struct TReparseData {
    DWORD Tag;
    WORD DataLength;
    WORD Reserved;
    WORD SubstituteOffset;
    WORD SubstituteLength;
    WORD PrintOffset;
    WORD PrintLength;
    // Symbolic links only: flags, then the names; junctions: the names.
    BYTE Rest[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
};
constexpr size_t ReparseHeader = 8;

unique_file OpenLink(std::wstring_view path, DWORD access) {
    return unique_file(CreateFileW(
        std::wstring(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

} // namespace

std::optional<TFolderLink> ReadFolderLink(std::wstring_view path) {
    unique_file link = OpenLink(path, FILE_READ_ATTRIBUTES);
    auto data = std::make_unique<TReparseData>();
    DWORD got = 0;
    if (!link || !DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.get(),
                                  sizeof(TReparseData), &got, nullptr))
        return std::nullopt;
    const bool junction = data->Tag == IO_REPARSE_TAG_MOUNT_POINT;
    if (!junction && data->Tag != IO_REPARSE_TAG_SYMLINK)
        return std::nullopt;
    const BYTE* names = data->Rest + (junction ? 0 : sizeof(ULONG));
    if (size_t(data->SubstituteOffset) + data->SubstituteLength > sizeof(data->Rest) - sizeof(ULONG))
        return std::nullopt;
    std::wstring target(data->SubstituteLength / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), names + data->SubstituteOffset, data->SubstituteLength);
    return TFolderLink{junction, target};
}

void PutFolderLink(TRecord& record, const TFolderLink& link) {
    record.SetField(L"link", link.Target);
    record.SetField(L"linkkind", link.Junction ? L"junction" : L"symlink");
}

std::optional<TFolderLink> FolderLinkOf(const TRecord& record) {
    std::wstring target = record.Field(L"link");
    if (target.empty())
        return std::nullopt;
    return TFolderLink{record.Field(L"linkkind") != L"symlink", target};
}

bool MakeFolderLink(std::wstring_view path, const TFolderLink& link) {
    const std::wstring name(path);
    if (!link.Junction) {
        RemoveDirectoryW(name.c_str());
        std::wstring target = link.Target.starts_with(L"\\??\\") ? link.Target.substr(4) : link.Target;
        return CreateSymbolicLinkW(name.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) != 0;
    }
    if (!CreateFolderPath(path))
        return false;
    const std::wstring print = link.Target.starts_with(L"\\??\\") ? link.Target.substr(4) : link.Target;
    const size_t substituteBytes = link.Target.size() * sizeof(wchar_t),
                 printBytes = print.size() * sizeof(wchar_t);
    auto data = std::make_unique<TReparseData>();
    if (substituteBytes + printBytes + 2 * sizeof(wchar_t) > sizeof(data->Rest)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    data->Tag = IO_REPARSE_TAG_MOUNT_POINT;
    data->SubstituteOffset = 0;
    data->SubstituteLength = static_cast<WORD>(substituteBytes);
    data->PrintOffset = static_cast<WORD>(substituteBytes + sizeof(wchar_t));
    data->PrintLength = static_cast<WORD>(printBytes);
    std::memcpy(data->Rest, link.Target.c_str(), substituteBytes + sizeof(wchar_t));
    std::memcpy(data->Rest + data->PrintOffset, print.c_str(), printBytes + sizeof(wchar_t));
    data->DataLength = static_cast<WORD>(8 + substituteBytes + printBytes + 2 * sizeof(wchar_t));
    unique_file folder = OpenLink(path, GENERIC_WRITE);
    DWORD got = 0;
    return folder &&
           DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, data.get(),
                           static_cast<DWORD>(ReparseHeader + data->DataLength), nullptr, 0, &got, nullptr);
}

} // namespace velmora::rekova
