#include "frame/BitmapPreparation.h"

#include <algorithm>
#include <cmath>

namespace velmora {

TBgraImage::TBgraImage(int width, int height, uint32_t fill)
    : Width(std::max(width, 0)), Height(std::max(height, 0)),
      Pixels(static_cast<size_t>(Width) * static_cast<size_t>(Height), fill) {}

bool HasAlphaChannel(const TBgraImage& image) {
    return std::any_of(image.Pixels.begin(), image.Pixels.end(), [](uint32_t p) { return AlphaOf(p) != 0; });
}

void BlendOver(TBgraImage& image, uint32_t background) {
    auto mix = [](unsigned c, unsigned bg, unsigned a) { return uint8_t((c * a + bg * (255 - a)) / 255); };
    for (uint32_t& p : image.Pixels) {
        unsigned a = AlphaOf(p);
        p = Argb(255, mix(RedOf(p), RedOf(background), a), mix(GreenOf(p), GreenOf(background), a),
                 mix(BlueOf(p), BlueOf(background), a));
    }
}

void PrepareBitmap(TBgraImage& image, bool blend) {
    if (!HasAlphaChannel(image)) {
        for (uint32_t& p : image.Pixels)
            p |= 0xFF000000u;
    } else if (blend) {
        BlendOver(image, BlendBackground);
    }
}

namespace {

struct TSpan {
    int First = 0;
    std::vector<double> Weights; // coverage of source pixels First, First + 1, ...
};

// For each target pixel along one axis, the source pixels it covers and how much.
std::vector<TSpan> AxisSpans(int source, int target) {
    std::vector<TSpan> spans(target);
    double scale = double(source) / target;
    for (int i = 0; i < target; ++i) {
        double from = i * scale, to = (i + 1) * scale;
        int first = static_cast<int>(std::floor(from));
        int last = std::min(source - 1, static_cast<int>(std::ceil(to)) - 1);
        spans[i].First = first;
        for (int s = first; s <= last; ++s)
            spans[i].Weights.push_back(std::min<double>(to, s + 1) - std::max<double>(from, s));
    }
    return spans;
}

uint8_t ToByte(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

} // namespace

TBgraImage StretchImage(const TBgraImage& image, int width, int height) {
    if (width == image.Width && height == image.Height)
        return image;
    TBgraImage result(width, height);
    if (image.Width <= 0 || image.Height <= 0 || result.Pixels.empty())
        return result;
    auto columns = AxisSpans(image.Width, result.Width);
    auto rows = AxisSpans(image.Height, result.Height);
    for (int y = 0; y < result.Height; ++y) {
        const TSpan& row = rows[y];
        for (int x = 0; x < result.Width; ++x) {
            const TSpan& column = columns[x];
            double area = 0, alpha = 0, red = 0, green = 0, blue = 0;
            for (size_t j = 0; j < row.Weights.size(); ++j) {
                for (size_t i = 0; i < column.Weights.size(); ++i) {
                    double w = row.Weights[j] * column.Weights[i];
                    uint32_t p =
                        image.At(column.First + static_cast<int>(i), row.First + static_cast<int>(j));
                    double a = w * AlphaOf(p);
                    area += w;
                    alpha += a;
                    red += a * RedOf(p);
                    green += a * GreenOf(p);
                    blue += a * BlueOf(p);
                }
            }
            if (alpha <= 0) {
                result.At(x, y) = 0;
                continue;
            }
            result.At(x, y) =
                Argb(ToByte(alpha / area), ToByte(red / alpha), ToByte(green / alpha), ToByte(blue / alpha));
        }
    }
    return result;
}

} // namespace velmora
