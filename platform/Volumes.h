#pragma once
// The volumes of the system as prefetch files name them.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct TVolume {
    // First mount path without trailing backslash ("C:").
    std::wstring MountPath;
    // The DOS device the volume stands for ("\Device\HarddiskVolume2").
    std::wstring DeviceName;
    // From the volume's own information; 0 when it could not be read.
    uint32_t SerialNumber = 0;
    uint64_t CreationTime = 0;
};

// Every volume that has a mount path and a device name.
std::vector<TVolume> ListVolumes();

} // namespace velmora
