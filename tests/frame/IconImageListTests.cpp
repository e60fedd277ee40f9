#include "frame/IconImageList.h"

#include "frame/DebugLog.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

constexpr uint32_t Red = Argb(255, 255, 0, 0);
constexpr uint32_t Green = Argb(255, 0, 255, 0);
constexpr uint32_t Blue = Argb(255, 0, 0, 255);
constexpr uint32_t Magenta = Argb(255, 255, 0, 255);
constexpr int TestIconId = 101; // 16 by 16 red, 32 by 32 blue, each with a clear corner

// Fixed entries added in the constructor, then fixed, as the library's lists do.
class TFixedIconList : public TIconImageList {
public:
    explicit TFixedIconList(int fixed, int more = 0) {
        for (int i = 0; i < fixed; ++i)
            AddImages({}, TBgraImage(LargeSize, LargeSize, Argb(255, 0, 0, uint8_t(i))));
        FixInitialIcons();
        for (int i = 0; i < more; ++i)
            AddImages({}, TBgraImage(LargeSize, LargeSize, Red));
    }
};

TBgraImage Solid(uint32_t colour, int size = 32) {
    return TBgraImage(size, size, colour);
}

// The stored pixels of one entry, read from the list's own bitmap.
TBgraImage Entry(HIMAGELIST list, int index) {
    IMAGEINFO info{};
    if (!ImageList_GetImageInfo(list, index, &info))
        return {};
    BITMAP bitmap{};
    GetObjectW(info.hbmImage, sizeof bitmap, &bitmap);
    TBgraImage all(bitmap.bmWidth, bitmap.bmHeight);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), all.Width, -all.Height, 1, 32, BI_RGB};
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmImage, 0, all.Height, all.Pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    const RECT& r = info.rcImage;
    TBgraImage entry(r.right - r.left, r.bottom - r.top);
    for (int y = 0; y < entry.Height; ++y)
        for (int x = 0; x < entry.Width; ++x)
            entry.At(x, y) = all.At(r.left + x, r.top + y);
    return entry;
}

uint32_t Centre(HIMAGELIST list, int index) {
    TBgraImage e = Entry(list, index);
    return e.Pixels.empty() ? 0 : e.At(e.Width / 2, e.Height / 2);
}

void ExpectPaired(TIconImageList& list) {
    EXPECT_EQ(ImageList_GetImageCount(list.SmallIcons()), ImageList_GetImageCount(list.LargeIcons()));
}

// An opaque icon of one colour.
unique_hicon MakeIcon(uint32_t colour, int size = 32) {
    const std::vector<uint32_t> pixels(size * size, colour);
    const std::vector<BYTE> mask(size * size / 8);
    return unique_hicon(
        CreateIcon(nullptr, size, size, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(pixels.data())));
}

} // namespace

TEST(IconImageList, FreedIndicesAreReusedLowestFirstInBothListsFixedOnesNeverAndListsOutOfStepRaise) {
    TFixedIconList list(4, 6);
    for (int index : {8, 5, 8, 2, 0, -1, 10, 1000})
        list.FreeIconIndex(index);
    EXPECT_EQ(list.FreeCount(), 2) << "twice, fixed and stray indices count nothing";
    EXPECT_TRUE(list.IsUsed(2));
    EXPECT_EQ(list.AddImages(Solid(Green, 16), Solid(Blue)), 5);
    EXPECT_EQ(Centre(list.SmallIcons(), 5), Green);
    EXPECT_EQ(Centre(list.LargeIcons(), 5), Blue);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 8);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 10);
    EXPECT_EQ(Centre(list.LargeIcons(), 2), Argb(255, 0, 0, 2));
    EXPECT_EQ(list.Count(), 11);
    ExpectPaired(list);

    // Lists out of step (someone appended to the large list behind the
    // pair's back) raise the image-list error and leave no half entry.
    ASSERT_EQ(ImageList_ReplaceIcon(list.LargeIcons(), -1, MakeIcon(Red).get()), 11);
    try {
        list.AddImages({}, Solid(Blue));
        ADD_FAILURE() << "no error";
    } catch (const EImageListError& e) {
        EXPECT_STREQ(e.what(), "unexpected index - 12, wait - 11");
    }
    EXPECT_EQ(ImageList_GetImageCount(list.SmallIcons()), 11);
    EXPECT_FALSE(list.IsUsed(11));
    EXPECT_EQ(list.FreeCount(), 0);
}

TEST(IconImageListIcons, IconsKeepEachSizeWithItsAlphaAnIconOfOneSizeServesBothPngsAreStretched) {
    TIconImageList list;
    ASSERT_EQ(list.AddIconResource(ThisModule(), MAKEINTRESOURCEW(TestIconId)), 0);
    ASSERT_EQ(list.AddAppIcon(ThisModuleFileName(), -TestIconId),
              1); // a negative index names the resource id
    for (int index : {0, 1}) {
        EXPECT_EQ(Centre(list.LargeIcons(), index), Blue) << index;
        EXPECT_EQ(AlphaOf(Entry(list.LargeIcons(), index).At(0, 0)), 0) << index;
        EXPECT_EQ(AlphaOf(Entry(list.SmallIcons(), index).At(0, 0)), 0) << index;
    }
    EXPECT_EQ(Centre(list.SmallIcons(), 0), Red);
    EXPECT_THROW(list.AddIconResource(ThisModule(), L"NO_SUCH_ICON"), EOSError);
    EXPECT_EQ(list.AddAppIcon(ThisModuleFileName() + L".missing", 0), -1);
    EXPECT_EQ(list.AddShellIcon(ThisModuleFileName()), 2);
    // An icon of one size serves both; none gives -1.
    EXPECT_EQ(list.AddIcon(nullptr, nullptr), -1);
    unique_hicon small = MakeIcon(Magenta, 16), large = MakeIcon(Green);
    ASSERT_EQ(list.AddIcon(small.get(), nullptr), 3);
    EXPECT_EQ(Centre(list.LargeIcons(), 3), Magenta);
    ASSERT_EQ(list.AddIcon(nullptr, large.get()), 4);
    EXPECT_EQ(Centre(list.SmallIcons(), 4), Green);

    // PNG resources are stretched to both sizes.
    ASSERT_EQ(list.AddFromPNGResources(ThisModule(), L"TEST_PNG_24"), 5);
    // Left half red, right half blue, lowest quarter clear: stretched, not cropped or tiled.
    for (HIMAGELIST images : {list.LargeIcons(), list.SmallIcons()}) {
        TBgraImage e = Entry(images, 5);
        int size = e.Width, half = size / 2, opaque = size * 3 / 4;
        SCOPED_TRACE(size);
        EXPECT_EQ(e.At(half - 1, 2), Red);
        EXPECT_EQ(e.At(half, 2), Blue);
        EXPECT_EQ(AlphaOf(e.At(0, opaque)), 0);
    }
    ASSERT_EQ(list.AddFromPNGResources(ThisModule(), L"TEST_PNG_SMALL", L"TEST_PNG_LARGE"), 6);
    EXPECT_EQ(Entry(list.SmallIcons(), 6).At(15, 15), Green); // 20 pixels stretched, not cropped
    EXPECT_EQ(Centre(list.LargeIcons(), 6), Magenta);
    EXPECT_THROW(list.AddFromPNGResources(ThisModule(), L"TEST_NOT_A_PNG"), EOSError);
    EXPECT_THROW(list.AddFromPNGResources(ThisModule(), L"NO_SUCH_PNG", L"TEST_PNG_LARGE"), EOSError);
    EXPECT_EQ(list.Count(), 7);
    ExpectPaired(list);
}

TEST(IconImageListThreads, ConcurrentAdditionsAndFreesKeepIndicesPaired) {
    TFixedIconList list(4);
    constexpr int Threads = 4, Rounds = 60;
    std::vector<std::vector<std::pair<int, uint32_t>>> kept(Threads); // index, colour of both sizes
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t)
        workers.emplace_back([&, t] {
            auto& mine = kept[t];
            for (int r = 0; r < Rounds; ++r) {
                uint32_t colour = Argb(255, uint8_t(t * 60), uint8_t(r), 10);
                int index = list.AddImages(Solid(colour, 16), Solid(colour));
                mine.emplace_back(index, colour);
                if (r % 4 == 3) { // give one back now and then
                    list.FreeIconIndex(mine[mine.size() / 2].first);
                    mine.erase(mine.begin() + mine.size() / 2);
                }
            }
        });
    for (auto& w : workers)
        w.join();
    ExpectPaired(list);
    std::set<int> used;
    for (auto& mine : kept)
        for (auto [index, colour] : mine) {
            EXPECT_GE(index, 4);
            EXPECT_TRUE(used.insert(index).second) << "index " << index << " handed out twice";
            EXPECT_EQ(Centre(list.SmallIcons(), index), colour) << index;
            EXPECT_EQ(Centre(list.LargeIcons(), index), colour) << index;
        }
    // Every entry is either in use or waiting for reuse.
    EXPECT_EQ(int(used.size()) + 4 + list.FreeCount(), list.Count());
}
