#include "usage/PrefetchFile.h"

#include "platform/PathText.h"
#include "platform/Text.h"

#include <cstring>

namespace velmora {

namespace {

constexpr size_t HeaderSize = 84;
constexpr size_t FileSizeOffset = 12;
constexpr size_t ExecutableNameOffset = 16;
constexpr size_t ExecutableNameChars = 30;

// Where a version keeps its values (file offsets of 4- or 8-byte fields).
struct TPrefetchLayout {
    uint32_t Version;
    size_t NameListOffset;
    size_t NameListSize;
    size_t LastRun;
    size_t RunCount;
};

constexpr TPrefetchLayout Layouts[] = {
    {17, 0x64, 0x68, 0x78, 0x90},
    {23, 0x64, 0x68, 0x80, 0x98},
    {26, 0x64, 0x68, 0x80, 0xD0},
    {30, 0x64, 0x68, 0x80, 0xD0},
};

uint32_t ReadUInt32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t ReadUInt64(const uint8_t* p) {
    return uint64_t(ReadUInt32(p)) | uint64_t(ReadUInt32(p + 4)) << 32;
}

// UTF-16LE code units as they stand (the files may hold unpaired surrogates).
std::wstring ReadUtf16(const uint8_t* p, size_t chars) {
    std::wstring text(chars, L'\0');
    for (size_t i = 0; i < chars; ++i)
        text[i] = static_cast<wchar_t>(p[2 * i] | p[2 * i + 1] << 8);
    return text;
}

const TPrefetchLayout& LayoutOf(uint32_t version) {
    for (const TPrefetchLayout& layout : Layouts)
        if (layout.Version == version)
            return layout;
    throw EPrefetchNotSupported(version);
}

// The list holds size / 2 - 1 characters (its last zero dropped), split at
// zeros up to the first empty entry.
std::vector<std::wstring> SplitNameList(const std::wstring& list) {
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(L'\0', start);
        if (end == start)
            break;
        if (end == std::wstring::npos)
            end = list.size();
        names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

} // namespace

EPrefetchNotSupported::EPrefetchNotSupported(uint32_t version)
    : std::runtime_error("AVersion: " + std::to_string(version)) {}

bool IsCompressedPrefetch(const uint8_t* data, size_t size) {
    return size >= 4 && std::memcmp(data, "MAM\x04", 4) == 0;
}

uint32_t CompressedPrefetchSize(const uint8_t* data, size_t size) {
    if (!IsCompressedPrefetch(data, size))
        throw EPrefetchFormat("compressed prefetch file: no MAM signature");
    if (size < CompressedPrefetchHeaderSize)
        throw EPrefetchFormat("compressed prefetch file: header cut short");
    return ReadUInt32(data + 4);
}

bool IsPrefetchImage(const uint8_t* data, size_t size) {
    return size >= 8 && std::memcmp(data + 4, "SCCA", 4) == 0;
}

TPrefetchRecord ParsePrefetch(const uint8_t* data, size_t size) {
    if (!IsPrefetchImage(data, size))
        throw EPrefetchFormat("prefetch file: no SCCA signature");
    TPrefetchRecord record;
    record.Version = ReadUInt32(data);
    const TPrefetchLayout& layout = LayoutOf(record.Version);
    if (size < HeaderSize || size < layout.RunCount + 4)
        throw EPrefetchFormat("prefetch file: header cut short (" + std::to_string(size) + " bytes)");
    // The header's own size tells a cut file from a whole one.
    const uint32_t fileSize = ReadUInt32(data + FileSizeOffset);
    if (fileSize > size)
        throw EPrefetchFormat("prefetch file: " + std::to_string(size) + " of its " +
                              std::to_string(fileSize) + " bytes");

    const std::wstring name = ReadUtf16(data + ExecutableNameOffset, ExecutableNameChars);
    record.ExecutableName = name.substr(0, name.find(L'\0'));
    record.RunCount = static_cast<int32_t>(ReadUInt32(data + layout.RunCount));
    record.LastRun = ReadUInt64(data + layout.LastRun);

    const uint64_t listOffset = ReadUInt32(data + layout.NameListOffset);
    const uint64_t listSize = ReadUInt32(data + layout.NameListSize);
    if (listSize % 2 != 0)
        throw EPrefetchFormat("prefetch file: name list of odd size " + std::to_string(listSize));
    if (listOffset + listSize > size)
        throw EPrefetchFormat("prefetch file: name list (offset " + std::to_string(listOffset) + ", size " +
                              std::to_string(listSize) + ") outside the file of " + std::to_string(size) +
                              " bytes");
    if (listSize >= 2)
        record.Files = SplitNameList(ReadUtf16(data + listOffset, listSize / 2 - 1));

    record.ExecutablePath = record.ExecutableName;
    for (const std::wstring& file : record.Files)
        if (SameText(ExtractFileName(file), record.ExecutableName)) {
            record.ExecutablePath = file;
            break;
        }
    return record;
}

std::wstring TranslateDevicePath(const std::wstring& path,
                                 const std::map<std::wstring, std::wstring>& volumes) {
    static constexpr std::wstring_view DevicePrefix = L"\\DEVICE\\";
    static constexpr std::wstring_view VolumePrefix = L"\\VOLUME{";
    size_t prefixEnd;
    std::wstring key;
    if (StartsWithText(path, DevicePrefix)) {
        prefixEnd = path.find(L'\\', DevicePrefix.size());
        if (prefixEnd == std::wstring::npos)
            prefixEnd = path.size();
        key = UpperCase(std::wstring_view(path).substr(DevicePrefix.size(), prefixEnd - DevicePrefix.size()));
    } else if (StartsWithText(path, VolumePrefix)) {
        size_t close = path.find(L'}', VolumePrefix.size());
        if (close == std::wstring::npos)
            return path;
        key = path.substr(VolumePrefix.size(), close - VolumePrefix.size());
        prefixEnd = close + 1;
    } else {
        return path;
    }
    auto drive = volumes.find(key);
    return drive == volumes.end() ? path : drive->second + path.substr(prefixEnd);
}

} // namespace velmora
