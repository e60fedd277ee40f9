#include "platform/Files.h"

#include <vector>

namespace velmora {

namespace {

constexpr DWORD FingerprintChunk = 64 * 1024;

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

std::optional<std::vector<uint8_t>> ReadFileBytes(std::wstring_view path) {
    unique_file file(CreateFileW(std::wstring(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > MAXDWORD)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size()))
        return std::nullopt;
    return bytes;
}

std::optional<TFileFingerprint> FileFingerprint(std::wstring_view path) {
    unique_file file(CreateFileW(std::wstring(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return std::nullopt;
    unique_hash_algorithm algorithm;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return std::nullopt;
    // Windows Vista wants the hash object's memory from the caller.
    DWORD objectSize = 0, answered = 0;
    if (!BCRYPT_SUCCESS(BCryptGetProperty(algorithm.get(), BCRYPT_OBJECT_LENGTH,
                                          reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize, &answered,
                                          0)))
        return std::nullopt;
    std::vector<UCHAR> object(objectSize);
    unique_hash hash;
    if (!BCRYPT_SUCCESS(
            BCryptCreateHash(algorithm.get(), hash.put(), object.data(), objectSize, nullptr, 0, 0)))
        return std::nullopt;
    TFileFingerprint fingerprint;
    std::vector<UCHAR> buffer(FingerprintChunk);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), FingerprintChunk, &read, nullptr))
            return std::nullopt;
        if (read == 0)
            break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), buffer.data(), read, 0)))
            return std::nullopt;
        fingerprint.Size += read;
    }
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), fingerprint.Digest.data(),
                                         static_cast<ULONG>(fingerprint.Digest.size()), 0)))
        return std::nullopt;
    return fingerprint;
}

unique_change_notification FolderChangeNotification(std::wstring_view folder, bool subtree, DWORD filter) {
    return unique_change_notification(
        FindFirstChangeNotificationW(std::wstring(folder).c_str(), subtree, filter));
}

bool NextFolderChange(HANDLE notification) {
    return FindNextChangeNotification(notification);
}

} // namespace velmora
