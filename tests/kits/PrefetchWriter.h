#pragma once
// Prefetch files as the system writes them (without the prefetch hash): file
// information, metrics, trace chains, name list and one volume.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::testing {

struct TPrefetchVolumeDescription {
    std::wstring DevicePath = L"\\DEVICE\\HARDDISKVOLUME2";
    uint32_t SerialNumber = 0x5A3C10F2;
    // File time (UTC).
    uint64_t CreationTime = 0x01D2C3B4A5968778;
};

struct TPrefetchDescription {
    // 17, 23, 26 or 30.
    uint32_t Version = 30;
    // Written as given, cut to the 29 characters the header keeps.
    std::wstring ExecutableName = L"EDIT.EXE";
    // Device paths of the loaded files; those on the volume give its
    // directory strings.
    std::vector<std::wstring> Files;
    int32_t RunCount = 1;
    // File times (UTC), the latest first; versions 26 and 30 keep eight,
    // the older ones only the latest.
    std::vector<uint64_t> LastRuns;
    TPrefetchVolumeDescription Volume;
};

std::vector<uint8_t> WritePrefetchImage(const TPrefetchDescription& description);
// The compressed form of an image, as Windows 10 writes it: "MAM", byte 4,
// the image's size, then the image in XPRESS Huffman.
std::vector<uint8_t> CompressPrefetchImage(const std::vector<uint8_t>& image);

} // namespace velmora::testing
