#include "platform/Files.h"

namespace velmora {

namespace {

bool IsDotEntry(const TFindData& data) {
    std::wstring_view name = data.Name();
    return name == L"." || name == L"..";
}

} // namespace

TFindFiles::iterator TFindFiles::begin() {
    FHandle.reset(FindFirstFileW(FPattern.c_str(), &FData));
    if (!FHandle)
        return end();
    if (IsDotEntry(FData) && !Next())
        return end();
    return iterator(this);
}

bool TFindFiles::Next() {
    do {
        if (!FHandle || !FindNextFileW(FHandle.get(), &FData)) {
            FHandle.reset();
            return false;
        }
    } while (IsDotEntry(FData));
    return true;
}

std::optional<uint64_t> FileSize(std::wstring_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(std::wstring(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

unique_change_notification FolderChangeNotification(std::wstring_view folder, bool subtree, DWORD filter) {
    return unique_change_notification(
        FindFirstChangeNotificationW(std::wstring(folder).c_str(), subtree, filter));
}

bool NextFolderChange(HANDLE notification) {
    return FindNextChangeNotification(notification);
}

} // namespace velmora
