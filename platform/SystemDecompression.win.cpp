#include "platform/SystemDecompression.h"

#include "platform/Module.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace velmora {
namespace {

constexpr USHORT CompressionFormatXpressHuffman = 4;
constexpr LONG StatusNotSupported = static_cast<LONG>(0xC00000BB);
constexpr LONG StatusUnsupportedCompression = static_cast<LONG>(0xC000025F);

using TGetCompressionWorkSpaceSize = LONG(NTAPI*)(USHORT format, PULONG bufferWorkSpace,
                                                  PULONG fragmentWorkSpace);
using TDecompressBufferEx = LONG(NTAPI*)(USHORT format, PUCHAR out, ULONG outSize, PUCHAR data, ULONG size,
                                         PULONG finalSize, PVOID workSpace);

bool IsUnsupported(LONG status) {
    return status == StatusNotSupported || status == StatusUnsupportedCompression;
}

} // namespace

std::optional<bool> SystemDecompressXpressHuffman(const uint8_t* data, size_t size, uint8_t* out,
                                                  size_t outSize) {
    // Looked up, not imported: older systems lack the routine or the format.
    static const auto workSpaceSize =
        ModuleFunction<TGetCompressionWorkSpaceSize>(L"ntdll.dll", "RtlGetCompressionWorkSpaceSize");
    static const auto decompress = ModuleFunction<TDecompressBufferEx>(L"ntdll.dll", "RtlDecompressBufferEx");
    if (!workSpaceSize || !decompress)
        return std::nullopt;

    ULONG bufferWorkSpace = 0, fragmentWorkSpace = 0;
    LONG status = workSpaceSize(CompressionFormatXpressHuffman, &bufferWorkSpace, &fragmentWorkSpace);
    if (IsUnsupported(status))
        return std::nullopt;
    if (status < 0 || size > ULONG_MAX || outSize > ULONG_MAX)
        return false;
    // Decompression needs the fragment work space; the larger one is safe on every version.
    auto workSpace = std::make_unique<uint8_t[]>(std::max<size_t>({bufferWorkSpace, fragmentWorkSpace, 1}));
    ULONG finalSize = 0;
    status = decompress(CompressionFormatXpressHuffman, out, static_cast<ULONG>(outSize),
                        const_cast<PUCHAR>(data), static_cast<ULONG>(size), &finalSize, workSpace.get());
    if (IsUnsupported(status))
        return std::nullopt;
    return status >= 0 && finalSize == outSize;
}

} // namespace velmora
