#include "frame/BitmapPreparation.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

constexpr uint32_t Red = Argb(255, 255, 0, 0);
constexpr uint32_t Blue = Argb(255, 0, 0, 255);

TBgraImage Row(std::initializer_list<uint32_t> pixels) {
    TBgraImage image(static_cast<int>(pixels.size()), 1);
    image.Pixels.assign(pixels);
    return image;
}

} // namespace

TEST(PrepareBitmap, NoAlphaBecomesOpaqueAlphaIsKeptOrBlendedOverTheTileColour) {
    TBgraImage noAlpha = Row({Argb(0, 10, 20, 30), Argb(0, 0, 0, 0)});
    EXPECT_FALSE(HasAlphaChannel(noAlpha));
    PrepareBitmap(noAlpha, true); // nothing to blend: opacity alone
    EXPECT_EQ(noAlpha.Pixels, Row({Argb(255, 10, 20, 30), Argb(255, 0, 0, 0)}).Pixels);

    TBgraImage alpha = Row({Argb(128, 255, 255, 255), Argb(0, 99, 99, 99), Red, Argb(51, 200, 10, 0)});
    TBgraImage kept = alpha;
    PrepareBitmap(kept, false);
    EXPECT_EQ(kept.Pixels, alpha.Pixels);
    // (c * a + background * (255 - a)) div 255 over RGB(0, 120, 215)
    PrepareBitmap(alpha, true);
    EXPECT_EQ(alpha.Pixels,
              Row({Argb(255, 128, 187, 235), BlendBackground, Red, Argb(255, 40, 98, 172)}).Pixels);
}

TEST(StretchImage, EnlargesByWholePixelsReducesByAlphaWeightedAverage) {
    TBgraImage square(2, 2);
    square.Pixels = {Argb(255, 200, 0, 0), Argb(255, 0, 100, 0), Argb(255, 0, 0, 40), Argb(255, 0, 0, 0)};
    const struct {
        const char* name;
        TBgraImage from;
        int width, height;
        TBgraImage expected;
    } cases[] = {
        {"edges stay sharp", Row({Red, Blue}), 4, 1, Row({Red, Red, Blue, Blue})},
        {"four into one", square, 1, 1, Row({Argb(255, 50, 25, 10)})},
        {"three into two, the middle split", Row({Red, Argb(255, 0, 255, 0), Blue}), 2, 1,
         Row({Argb(255, 170, 85, 0), Argb(255, 0, 85, 170)})},
        {"clear pixels do not darken", Row({0, Red}), 1, 1, Row({Argb(128, 255, 0, 0)})},
        {"empty gives clear", TBgraImage(), 16, 16, TBgraImage(16, 16)},
    };
    for (const auto& c : cases) {
        TBgraImage result = StretchImage(c.from, c.width, c.height);
        EXPECT_EQ(result.Width, c.width) << c.name;
        EXPECT_EQ(result.Pixels, c.expected.Pixels) << c.name;
    }
}
