#pragma once
// Pixel arithmetic applied to images before they go into an icon list:
// opacity, blending over the tile colour, and resizing. No Windows API, so the
// rules carry native tests.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A 32-bit image laid out as a top-down DIB: one 0xAARRGGBB value per pixel
// (bytes B, G, R, A in memory on x86), straight (not premultiplied) alpha,
// which is what the image lists take.
struct TBgraImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;

    TBgraImage() = default;
    TBgraImage(int width, int height, uint32_t fill = 0);
    uint32_t& At(int x, int y) { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
    uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

constexpr uint32_t Argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}
constexpr uint8_t AlphaOf(uint32_t p) {
    return uint8_t(p >> 24);
}
constexpr uint8_t RedOf(uint32_t p) {
    return uint8_t(p >> 16);
}
constexpr uint8_t GreenOf(uint32_t p) {
    return uint8_t(p >> 8);
}
constexpr uint8_t BlueOf(uint32_t p) {
    return uint8_t(p);
}

// The tile colour translucent images are blended over: RGB(0, 120, 215).
constexpr uint32_t BlendBackground = Argb(255, 0, 120, 215);

// True when at least one pixel has a non-zero alpha value.
bool HasAlphaChannel(const TBgraImage& image);

// An image without any alpha becomes fully opaque (its alpha bytes were never
// written, not meant as "invisible"). With alpha and blend, every pixel is
// blended over BlendBackground and becomes opaque; with alpha and no blend
// the image stays as it is.
void PrepareBitmap(TBgraImage& image, bool blend);

// Every pixel blended over an opaque background colour, then opaque.
void BlendOver(TBgraImage& image, uint32_t background);

// Resized by area averaging (each target pixel is the coverage-weighted mean
// of the source pixels under it, colours weighted by alpha so transparent
// pixels do not darken the edges). The same size gives a copy.
TBgraImage StretchImage(const TBgraImage& image, int width, int height);

} // namespace velmora
