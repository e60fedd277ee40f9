// The system's prefetch files: one per program, with its run count, last
// run and the files it loaded, paths in device form.
#include "usage/UsageSources.h"

#include "frame/DebugLog.h"
#include "platform/DateText.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/OSError.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "platform/Volumes.h"
#include "usage/PrefetchFile.h"
#include "usage/XpressHuffman.h"

namespace velmora {

namespace {

constexpr std::wstring_view DevicePrefix = L"\\Device\\";
// Far above the size of any prefetch file the system writes: a larger file,
// or one that claims to unpack to more, is not read into memory.
constexpr uint64_t MaxPrefetchSize = 64 * 1024 * 1024;

std::wstring Hex(uint64_t value, int digits) {
    static const wchar_t* const HexDigits = L"0123456789abcdef";
    std::wstring text(static_cast<size_t>(digits), L'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = HexDigits[value & 0xF];
    return text;
}

void AddVolume(std::map<std::wstring, std::wstring>& volumes, const std::wstring& key,
               const std::wstring& drive) {
    volumes[key] = drive;
    DebugLog().WriteLogF(TLogLevel::llInfo, L"Volume Added: %s  =>  %s", key, drive);
}

// The prefetch image of a file: itself, or what its compressed form holds
// (Windows 10 writes that form; on older systems it is no prefetch file).
std::optional<std::vector<uint8_t>> PrefetchImage(std::vector<uint8_t> file) {
    if (IsCompressedPrefetch(file.data(), file.size())) {
        if (!IsWindows10OrLater())
            return std::nullopt;
        const uint32_t size = CompressedPrefetchSize(file.data(), file.size());
        if (size > MaxPrefetchSize)
            return std::nullopt;
        std::vector<uint8_t> image(size);
        if (!DecompressXpressHuffman(file.data() + CompressedPrefetchHeaderSize,
                                     file.size() - CompressedPrefetchHeaderSize, image.data(), image.size()))
            return std::nullopt;
        return image;
    }
    if (!IsPrefetchImage(file.data(), file.size()))
        return std::nullopt;
    return file;
}

} // namespace

std::map<std::wstring, std::wstring> TPrefetch::BuildVolumeMap() {
    std::map<std::wstring, std::wstring> volumes;
    for (const TVolume& volume : ListVolumes()) {
        std::wstring_view device = volume.DeviceName;
        if (StartsWithText(device, DevicePrefix))
            device.remove_prefix(DevicePrefix.size());
        AddVolume(volumes, UpperCase(device), volume.MountPath);
        if (volume.CreationTime != 0)
            AddVolume(volumes, Hex(volume.CreationTime, 16) + L"-" + Hex(volume.SerialNumber, 8),
                      volume.MountPath);
    }
    return volumes;
}

void TPrefetch::Fill(TUsageItems& items) {
    const std::map<std::wstring, std::wstring> volumes = BuildVolumeMap();
    const std::wstring folder = WindowsFolder() + L"\\Prefetch\\";
    for (const TFindData& entry : FindFiles(folder + L"*.pf")) {
        TThread::CheckTerminated();
        if (entry.IsFolder())
            continue;
        const std::wstring path = folder + std::wstring(entry.Name());
        try {
            if (entry.Size() > MaxPrefetchSize)
                throw EPrefetchFormat("prefetch file: " + Narrow(path) + " is larger than any prefetch file");
            std::optional<std::vector<uint8_t>> file = ReadFileBytes(path);
            CheckOS(file.has_value(), path);
            const std::optional<std::vector<uint8_t>> image = PrefetchImage(std::move(*file));
            if (!image)
                continue;
            const TPrefetchRecord record = ParsePrefetch(image->data(), image->size());
            TUsageItem& item = items.Add();
            item.FFileName = TranslateDevicePath(record.ExecutablePath, volumes);
            item.FCounter = record.RunCount;
            item.FLastUsed = UsageFileTimeToDate(record.LastRun);
            item.FFiles = record.Files;
            DebugLog().WriteLogF(TLogLevel::llInfo, L"PrefetchItem: \"%s\", Counter: %d, LastUsed: %s",
                                 item.FFileName, item.FCounter, FormatOleDate(item.FLastUsed));
        } catch (const EAbort&) {
            throw;
        } catch (...) {
            StatisticsLog::AddError();
        }
    }
}

} // namespace velmora
