#include "frame/BitmapPreparation.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

constexpr uint32_t Red = Argb(255, 255, 0, 0);
constexpr uint32_t Blue = Argb(255, 0, 0, 255);

// Left half red, right half blue, the lowest quarter transparent.
TBgraImage Quarters(int size) {
    TBgraImage image(size, size);
    for (int y = 0; y < size * 3 / 4; ++y)
        for (int x = 0; x < size; ++x)
            image.At(x, y) = x < size / 2 ? Red : Blue;
    return image;
}

} // namespace

TEST(PrepareBitmap, ImageWithoutAnyAlphaBecomesOpaqueKeepingItsColours) {
    TBgraImage image(2, 1);
    image.At(0, 0) = Argb(0, 10, 20, 30);
    image.At(1, 0) = Argb(0, 0, 0, 0);
    EXPECT_FALSE(HasAlphaChannel(image));
    PrepareBitmap(image, false);
    EXPECT_EQ(image.At(0, 0), Argb(255, 10, 20, 30));
    EXPECT_EQ(image.At(1, 0), Argb(255, 0, 0, 0));

    TBgraImage blended(1, 1, Argb(0, 10, 20, 30));
    PrepareBitmap(blended, true); // nothing to blend: opacity alone
    EXPECT_EQ(blended.At(0, 0), Argb(255, 10, 20, 30));
}

TEST(PrepareBitmap, AlphaIsKeptWithoutBlending) {
    TBgraImage image(3, 1);
    image.At(0, 0) = Argb(128, 255, 255, 255);
    image.At(1, 0) = Argb(0, 1, 2, 3);
    image.At(2, 0) = Red;
    TBgraImage before = image;
    ASSERT_TRUE(HasAlphaChannel(image));
    PrepareBitmap(image, false);
    EXPECT_EQ(image.Pixels, before.Pixels);
}

TEST(PrepareBitmap, BlendingPutsEveryPixelOverTheTileColour) {
    TBgraImage image(4, 1);
    image.At(0, 0) = Argb(128, 255, 255, 255);
    image.At(1, 0) = Argb(0, 99, 99, 99);
    image.At(2, 0) = Red;
    image.At(3, 0) = Argb(51, 200, 10, 0);
    PrepareBitmap(image, true);
    // (c * a + background * (255 - a)) div 255 over RGB(0, 120, 215)
    EXPECT_EQ(image.At(0, 0), Argb(255, 128, 187, 235));
    EXPECT_EQ(image.At(1, 0), BlendBackground);
    EXPECT_EQ(image.At(2, 0), Red);
    EXPECT_EQ(image.At(3, 0), Argb(255, 40, 98, 172));
}

TEST(BlendOver, UsesTheGivenBackground) {
    TBgraImage image(1, 1, Argb(64, 255, 0, 0));
    BlendOver(image, Argb(255, 0, 0, 0));
    EXPECT_EQ(image.At(0, 0), Argb(255, 64, 0, 0));
}

TEST(StretchImage, SameSizeIsAnExactCopy) {
    TBgraImage image = Quarters(24);
    image.At(3, 20) = Argb(7, 1, 2, 3);
    EXPECT_EQ(StretchImage(image, 24, 24).Pixels, image.Pixels);
}

TEST(StretchImage, EdgesOnWholePixelsStaySharpInBothDirections) {
    for (int target : {32, 16, 48}) {
        SCOPED_TRACE(target);
        TBgraImage result = StretchImage(Quarters(24), target, target);
        ASSERT_EQ(result.Width, target);
        ASSERT_EQ(result.Height, target);
        int half = target / 2, opaqueRows = target * 3 / 4;
        for (int y = 0; y < target; ++y) {
            for (int x = 0; x < target; ++x) {
                uint32_t expected = y >= opaqueRows ? 0 : x < half ? Red : Blue;
                ASSERT_EQ(result.At(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(StretchImage, ReductionAveragesTheCoveredPixels) {
    TBgraImage image(2, 2);
    image.At(0, 0) = Argb(255, 200, 0, 0);
    image.At(1, 0) = Argb(255, 0, 100, 0);
    image.At(0, 1) = Argb(255, 0, 0, 40);
    image.At(1, 1) = Argb(255, 0, 0, 0);
    EXPECT_EQ(StretchImage(image, 1, 1).At(0, 0), Argb(255, 50, 25, 10));

    // Fractional coverage: three pixels into two, the middle one split.
    TBgraImage row(3, 1);
    row.At(0, 0) = Red;
    row.At(1, 0) = Argb(255, 0, 255, 0);
    row.At(2, 0) = Blue;
    TBgraImage two = StretchImage(row, 2, 1);
    EXPECT_EQ(two.At(0, 0), Argb(255, 170, 85, 0));
    EXPECT_EQ(two.At(1, 0), Argb(255, 0, 85, 170));
}

TEST(StretchImage, TransparentPixelsDoNotDarkenColours) {
    TBgraImage image(2, 1);
    image.At(0, 0) = Argb(0, 0, 0, 0);
    image.At(1, 0) = Red;
    EXPECT_EQ(StretchImage(image, 1, 1).At(0, 0), Argb(128, 255, 0, 0));

    TBgraImage clear(4, 4, Argb(0, 9, 9, 9));
    for (uint32_t p : StretchImage(clear, 2, 2).Pixels)
        EXPECT_EQ(p, 0u);
}

TEST(StretchImage, EnlargementRepeatsPixels) {
    TBgraImage image(1, 1, Argb(200, 1, 2, 3));
    for (uint32_t p : StretchImage(image, 3, 5).Pixels)
        EXPECT_EQ(p, Argb(200, 1, 2, 3));
}

TEST(StretchImage, EmptyImagesGiveTransparentOrEmptyResults) {
    TBgraImage result = StretchImage(TBgraImage(), 16, 16);
    ASSERT_EQ(result.Pixels.size(), 256u);
    for (uint32_t p : result.Pixels)
        EXPECT_EQ(p, 0u);
    EXPECT_TRUE(StretchImage(Quarters(24), 0, 16).Pixels.empty());
    EXPECT_TRUE(TBgraImage(-3, 4).Pixels.empty());
}
