#include "tests/kits/PrefetchWriter.h"

#include "platform/Text.h"
#include "tests/kits/XpressHuffmanEncoder.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string_view>

namespace velmora::testing {

namespace {

// Sizes of the structures that differ between versions; the last run times
// and the run count's offsets are in the file information.
struct TVersionLayout {
    uint32_t Version, FileInformationSize, MetricsEntrySize, TraceChainEntrySize, VolumeEntrySize,
        LastRunOffset, LastRunCount, RunCountOffset, FileReferencesVersion;
};

constexpr TVersionLayout Layouts[] = {
    {17, 68, 20, 12, 40, 36, 1, 60, 1},
    {23, 156, 32, 12, 104, 44, 1, 68, 3},
    {26, 220, 32, 12, 104, 44, 8, 124, 3},
    {30, 220, 32, 8, 96, 44, 8, 124, 3},
};

constexpr uint32_t HeaderSize = 84;
constexpr size_t MaxNameChars = 29;

const TVersionLayout& LayoutOf(uint32_t version) {
    const auto* layout = std::ranges::find(Layouts, version, &TVersionLayout::Version);
    if (layout == std::end(Layouts))
        throw std::invalid_argument("no prefetch layout for version " + std::to_string(version));
    return *layout;
}

class TImage {
public:
    uint32_t Size() const { return static_cast<uint32_t>(FBytes.size()); }
    void Grow(uint32_t size) { FBytes.resize(std::max<size_t>(FBytes.size(), size)); }
    void Align8() { Grow((Size() + 7) & ~7u); }
    void Put8(uint32_t at, uint8_t v) { Grow(at + 1), FBytes[at] = v; }
    void Put16(uint32_t at, uint16_t v) { Put8(at, uint8_t(v)), Put8(at + 1, uint8_t(v >> 8)); }
    void Put32(uint32_t at, uint32_t v) { Put16(at, uint16_t(v)), Put16(at + 2, uint16_t(v >> 16)); }
    void Put64(uint32_t at, uint64_t v) { Put32(at, uint32_t(v)), Put32(at + 4, uint32_t(v >> 32)); }
    // UTF-16LE with its ending zero; returns the bytes written.
    uint32_t PutText(uint32_t at, std::wstring_view text) {
        for (size_t i = 0; i < text.size(); ++i)
            Put16(at + uint32_t(2 * i), uint16_t(text[i]));
        Put16(at + uint32_t(2 * text.size()), 0);
        return uint32_t(2 * text.size() + 2);
    }
    std::vector<uint8_t> Take() { return std::move(FBytes); }

private:
    std::vector<uint8_t> FBytes;
};

// Every folder between the volume's root and the files on it, sorted.
std::vector<std::wstring> DirectoryStrings(const TPrefetchDescription& d) {
    std::set<std::wstring> folders;
    const std::wstring root = d.Volume.DevicePath + L"\\";
    for (const std::wstring& file : d.Files) {
        if (!StartsWithText(file, root))
            continue;
        for (size_t slash = file.find(L'\\', root.size()); slash != std::wstring::npos;
             slash = file.find(L'\\', slash + 1))
            folders.insert(UpperCase(file.substr(0, slash)));
    }
    return {folders.begin(), folders.end()};
}

// A made-up NTFS file reference: entry index and sequence number 1.
uint64_t FileReference(size_t index) {
    return (0x1000 + index) | uint64_t(1) << 48;
}

} // namespace

std::vector<uint8_t> WritePrefetchImage(const TPrefetchDescription& d) {
    const TVersionLayout& layout = LayoutOf(d.Version);
    const uint32_t count = uint32_t(d.Files.size());
    TImage image;

    image.Put32(0, d.Version);
    image.Put32(4, 0x41434353); // "SCCA"
    image.Put32(8, d.Version == 17 ? 0x0F : 0x11);
    image.PutText(16, std::wstring_view(d.ExecutableName).substr(0, MaxNameChars));
    // The prefetch hash at 76 stays 0: no reader checks it.

    const uint32_t info = HeaderSize;
    const uint32_t metrics = info + layout.FileInformationSize;
    const uint32_t traceChains = metrics + count * layout.MetricsEntrySize;
    const uint32_t names = traceChains + count * layout.TraceChainEntrySize;
    image.Grow(names);

    uint32_t nameAt = names;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t entry = metrics + i * layout.MetricsEntrySize;
        const uint32_t nameOffset = nameAt - names;
        nameAt += image.PutText(nameAt, d.Files[i]);
        // Each file has a chain of one trace entry, its own index.
        image.Put32(entry, i);
        image.Put32(entry + 4, 1);
        if (d.Version == 17) {
            image.Put32(entry + 8, nameOffset);
            image.Put32(entry + 12, uint32_t(d.Files[i].size()));
            image.Put32(entry + 16, 0x200);
        } else {
            image.Put32(entry + 12, nameOffset);
            image.Put32(entry + 16, uint32_t(d.Files[i].size()));
            image.Put32(entry + 20, 0x200);
            image.Put64(entry + 24, FileReference(i));
        }
        const uint32_t trace = traceChains + i * layout.TraceChainEntrySize;
        const uint32_t blocks = d.Version == 30 ? trace : trace + 4;
        if (d.Version != 30)
            image.Put32(trace, 0xFFFFFFFF); // end of chain
        image.Put32(blocks, 1);
        image.Put8(blocks + 4, 2);
        image.Put8(blocks + 5, 1);
        image.Put16(blocks + 6, 1);
    }
    const uint32_t namesSize = nameAt - names;
    image.Grow(nameAt);
    image.Align8();

    // One volume: its entry, device path, file references and directory strings.
    const uint32_t volumes = image.Size();
    const uint32_t path = layout.VolumeEntrySize;
    image.PutText(volumes + path, d.Volume.DevicePath);
    image.Align8();
    const uint32_t references = image.Size() - volumes;
    image.Put32(volumes + references, layout.FileReferencesVersion);
    image.Put32(volumes + references + 4, count);
    const uint32_t firstReference = references + (layout.FileReferencesVersion == 1 ? 8 : 16);
    image.Grow(volumes + firstReference);
    for (uint32_t i = 0; i < count; ++i)
        image.Put64(volumes + firstReference + 8 * i, FileReference(i));
    const uint32_t directories = image.Size() - volumes;
    const std::vector<std::wstring> folders = DirectoryStrings(d);
    for (const std::wstring& folder : folders) {
        image.Put16(image.Size(), uint16_t(folder.size()));
        image.PutText(image.Size(), folder);
    }
    image.Align8();
    const uint32_t volumesSize = image.Size() - volumes;

    image.Put32(volumes, path);
    image.Put32(volumes + 4, uint32_t(d.Volume.DevicePath.size()));
    image.Put64(volumes + 8, d.Volume.CreationTime);
    // Serial number, file references (offset, bytes), directory strings (offset, count).
    const uint32_t volume[] = {d.Volume.SerialNumber, references, directories - references, directories,
                               uint32_t(folders.size())};
    for (uint32_t i = 0; i < std::size(volume); ++i)
        image.Put32(volumes + 16 + 4 * i, volume[i]);
    if (d.Version != 17)
        image.Put32(volumes + (d.Version == 30 ? 64 : 68), uint32_t(folders.size()));

    // Offsets and counts of the sections, one volume.
    const uint32_t sections[] = {metrics,   count,   traceChains, count,      names,
                                 namesSize, volumes, 1,           volumesSize};
    for (uint32_t i = 0; i < std::size(sections); ++i)
        image.Put32(info + 4 * i, sections[i]);
    for (uint32_t i = 0; i < layout.LastRunCount && i < d.LastRuns.size(); ++i)
        image.Put64(info + layout.LastRunOffset + 8 * i, d.LastRuns[i]);
    image.Put32(info + layout.RunCountOffset, uint32_t(d.RunCount));
    if (d.Version != 17)
        image.Put32(info + layout.RunCountOffset + 4, 1);
    image.Put32(12, image.Size());
    return image.Take();
}

std::vector<uint8_t> CompressPrefetchImage(const std::vector<uint8_t>& image) {
    std::vector<uint8_t> file = {'M', 'A', 'M', 4, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        file[4 + i] = uint8_t(image.size() >> 8 * i);
    const std::vector<uint8_t> data = EncodeXpressHuffman(image.data(), image.size());
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

} // namespace velmora::testing
