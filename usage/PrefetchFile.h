#pragma once
// Prefetch files: the system's record of how often a program ran, when it
// last ran and which files it loaded. Reads the uncompressed form; the
// compressed form only announces its size here and is unpacked by the caller.
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

struct TPrefetchRecord {
    uint32_t Version = 0;
    // As the header holds it: at most 29 characters, usually upper case.
    std::wstring ExecutableName;
    // The executable's device path from the name list, or the name alone.
    std::wstring ExecutablePath;
    // Device paths of the loaded files, in the file's order.
    std::vector<std::wstring> Files;
    int32_t RunCount = 0;
    // The latest run: file time (UTC, 100 ns since 1601).
    uint64_t LastRun = 0;
};

// A file that is not a prefetch image or is cut short or inconsistent.
class EPrefetchFormat : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A prefetch image of a format version this reader has no layout for;
// the message is "AVersion: <version>".
class EPrefetchNotSupported : public std::runtime_error {
public:
    explicit EPrefetchNotSupported(uint32_t version);
};

// "MAM" followed by byte 4: the compressed form (XPRESS Huffman after an
// 8-byte header).
bool IsCompressedPrefetch(const uint8_t* data, size_t size);
// The size of the compressed form once unpacked; EPrefetchFormat when the
// header is cut short.
uint32_t CompressedPrefetchSize(const uint8_t* data, size_t size);
// Bytes before the compressed data.
inline constexpr size_t CompressedPrefetchHeaderSize = 8;

// "SCCA" after the version: the uncompressed form.
bool IsPrefetchImage(const uint8_t* data, size_t size);

// Reads an uncompressed image of versions 17, 23, 26 or 30. Throws
// EPrefetchNotSupported for another version and EPrefetchFormat for anything
// else it cannot read, including an image shorter than the size its header
// records; never reads outside data.
TPrefetchRecord ParsePrefetch(const uint8_t* data, size_t size);

// A device path as a drive path: "\Device\<device>\rest" through the key
// "<DEVICE>" (upper case) and "\Volume{<id>}\rest" through the key "<id>"
// as written in the file (the system writes it in lower case). A path whose
// key the map lacks stays as it is.
std::wstring TranslateDevicePath(const std::wstring& path,
                                 const std::map<std::wstring, std::wstring>& volumes);

} // namespace velmora
