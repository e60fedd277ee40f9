#include "platform/Volumes.h"

#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/PathText.h"

#include <windows.h>

#include <memory>

namespace velmora {

namespace {

struct TFindVolumeClose {
    void operator()(HANDLE handle) const { FindVolumeClose(handle); }
};

// The first of the volume's mount paths; the buffer grows once when the
// system asks for more room.
std::wstring FirstMountPath(const std::wstring& volume) {
    std::vector<wchar_t> paths(MAX_PATH + 1);
    DWORD needed = 0;
    if (!GetVolumePathNamesForVolumeNameW(volume.c_str(), paths.data(), static_cast<DWORD>(paths.size()),
                                          &needed)) {
        if (GetLastError() != ERROR_MORE_DATA)
            return {};
        paths.resize(needed);
        if (!GetVolumePathNamesForVolumeNameW(volume.c_str(), paths.data(), static_cast<DWORD>(paths.size()),
                                              &needed))
            return {};
    }
    return ExcludeTrailingBackslash(paths.data());
}

// "\\?\Volume{...}\" -> "Volume{...}", the name QueryDosDevice wants.
std::wstring DosDeviceOf(const std::wstring& volume) {
    std::wstring name = ExcludeTrailingBackslash(volume);
    if (name.rfind(L"\\\\?\\", 0) == 0)
        name.erase(0, 4);
    wchar_t device[MAX_PATH];
    if (!QueryDosDeviceW(name.c_str(), device, MAX_PATH))
        return {};
    return device;
}

// The volume's serial number and creation time, from its device.
void ReadVolumeInformation(const std::wstring& volume, TVolume& info) {
    struct TIoStatus {
        void* Status;
        ULONG_PTR Information;
    };
    struct TFsVolumeInformation {
        LARGE_INTEGER VolumeCreationTime;
        ULONG VolumeSerialNumber;
        ULONG VolumeLabelLength;
        BOOLEAN SupportsObjects;
        WCHAR VolumeLabel[MAX_PATH];
    };
    using TQueryVolumeInformationFile =
        LONG(NTAPI*)(HANDLE file, TIoStatus * status, void* information, ULONG length, int informationClass);
    static const auto query =
        ModuleFunction<TQueryVolumeInformationFile>(L"ntdll.dll", "NtQueryVolumeInformationFile");
    constexpr int FileFsVolumeInformation = 1;
    unique_file device(CreateFileW(ExcludeTrailingBackslash(volume).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    TIoStatus status{};
    TFsVolumeInformation information{};
    if (!device || !query ||
        query(device.get(), &status, &information, sizeof information, FileFsVolumeInformation) < 0)
        return;
    info.SerialNumber = information.VolumeSerialNumber;
    info.CreationTime = static_cast<uint64_t>(information.VolumeCreationTime.QuadPart);
}

} // namespace

std::vector<TVolume> ListVolumes() {
    std::vector<TVolume> volumes;
    wchar_t name[MAX_PATH];
    HANDLE first = FindFirstVolumeW(name, MAX_PATH);
    if (first == INVALID_HANDLE_VALUE)
        return volumes;
    std::unique_ptr<void, TFindVolumeClose> find(first);
    do {
        TVolume volume;
        volume.MountPath = FirstMountPath(name);
        volume.DeviceName = DosDeviceOf(name);
        if (volume.MountPath.empty() || volume.DeviceName.empty())
            continue;
        ReadVolumeInformation(name, volume);
        volumes.push_back(std::move(volume));
    } while (FindNextVolumeW(find.get(), name, MAX_PATH));
    return volumes;
}

} // namespace velmora
