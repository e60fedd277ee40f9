#pragma once
// Walking a folder: for (auto& f : FindFiles(L"C:\\Dir\\*.txt")) ...
// Watching one: FolderChangeNotification.
#include "platform/Handles.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct TFindData : WIN32_FIND_DATAW {
    std::wstring_view Name() const { return cFileName; }
    bool IsFolder() const { return dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY; }
    bool IsReparsePoint() const { return dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT; }
    uint64_t Size() const { return (static_cast<uint64_t>(nFileSizeHigh) << 32) | nFileSizeLow; }
};

// The entries matching a pattern, without "." and "..". A single pass: the
// search starts at begin().
class TFindFiles {
public:
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = TFindData;
        using difference_type = std::ptrdiff_t;
        using pointer = const TFindData*;
        using reference = const TFindData&;

        iterator() = default;
        explicit iterator(TFindFiles* owner) : FOwner(owner) {}
        reference operator*() const { return FOwner->FData; }
        pointer operator->() const { return &FOwner->FData; }
        iterator& operator++() {
            if (!FOwner->Next())
                FOwner = nullptr;
            return *this;
        }
        void operator++(int) { ++*this; }
        bool operator==(const iterator& other) const { return FOwner == other.FOwner; }

    private:
        TFindFiles* FOwner = nullptr;
    };

    explicit TFindFiles(std::wstring pattern) : FPattern(std::move(pattern)) {}
    TFindFiles(TFindFiles&&) = default;
    iterator begin();
    iterator end() { return {}; }

private:
    bool Next();
    std::wstring FPattern;
    unique_find FHandle;
    TFindData FData{};
};

inline TFindFiles FindFiles(std::wstring_view pattern) {
    return TFindFiles(std::wstring(pattern));
}

// Size of a file in bytes; nothing when it cannot be queried.
std::optional<uint64_t> FileSize(std::wstring_view path);

// A file's whole content; nothing when it cannot be opened or read (also
// while another process holds it open without sharing it for reading).
std::optional<std::vector<uint8_t>> ReadFileBytes(std::wstring_view path);

// A file's size and the SHA-256 digest of its content: files with equal
// fingerprints hold the same bytes. Taken while the file is there, it still
// tells copies of it once it is gone.
struct TFileFingerprint {
    uint64_t Size = 0;
    std::array<uint8_t, 32> Digest{};
    bool operator==(const TFileFingerprint&) const = default;
};
// Nothing when the file cannot be read (also while another process holds
// it open without sharing it for reading).
std::optional<TFileFingerprint> FileFingerprint(std::wstring_view path);

// A handle that is signalled when something that filter names
// (FILE_NOTIFY_CHANGE_...) changes in the folder, or below it with subtree;
// empty when the folder cannot be watched (GetLastError tells why).
unique_change_notification FolderChangeNotification(std::wstring_view folder, bool subtree, DWORD filter);
// Re-arms a signalled notification for the next change; false when the
// watch has ended.
bool NextFolderChange(HANDLE notification);

} // namespace velmora
