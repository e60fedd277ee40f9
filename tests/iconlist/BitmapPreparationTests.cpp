#include "frame/BitmapPreparation.h"

#include <gtest/gtest.h>

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

TEST(StretchImage, EdgesOnWholePixelsStaySharpInBothDirections) {
    TBgraImage quarters(24, 24); // left half red, right half blue, the lowest quarter clear
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 24; ++x)
            quarters.At(x, y) = x < 12 ? Red : Blue;
    for (int target : {32, 24, 16}) {
        TBgraImage result = StretchImage(quarters, target, target);
        ASSERT_EQ(result.Width, target);
        ASSERT_EQ(result.Height, target);
        for (int y = 0; y < target; ++y)
            for (int x = 0; x < target; ++x)
                ASSERT_EQ(result.At(x, y), y >= target * 3 / 4 ? 0
                                           : x < target / 2    ? Red
                                                               : Blue)
                    << target << ": " << x << "," << y;
    }
}

TEST(StretchImage, ReductionAveragesCoveredPixelsWeightedByAlpha) {
    TBgraImage square(2, 2);
    square.Pixels = {Argb(255, 200, 0, 0), Argb(255, 0, 100, 0), Argb(255, 0, 0, 40), Argb(255, 0, 0, 0)};
    EXPECT_EQ(StretchImage(square, 1, 1).At(0, 0), Argb(255, 50, 25, 10));
    // Three pixels into two, the middle one split.
    EXPECT_EQ(StretchImage(Row({Red, Argb(255, 0, 255, 0), Blue}), 2, 1).Pixels,
              Row({Argb(255, 170, 85, 0), Argb(255, 0, 85, 170)}).Pixels);
    // Transparent pixels do not darken colours.
    EXPECT_EQ(StretchImage(Row({0, Red}), 1, 1).At(0, 0), Argb(128, 255, 0, 0));
    EXPECT_EQ(StretchImage(TBgraImage(), 16, 16).Pixels, TBgraImage(16, 16).Pixels);
}
