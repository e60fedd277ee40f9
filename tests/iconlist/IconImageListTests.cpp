#include "frame/IconImageList.h"

#include "frame/DebugLog.h"
#include "platform/Module.h"
#include "platform/OSError.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

using namespace velmora;

namespace {

constexpr uint32_t Red = Argb(255, 255, 0, 0);
constexpr uint32_t Green = Argb(255, 0, 255, 0);
constexpr uint32_t Blue = Argb(255, 0, 0, 255);
constexpr uint32_t Yellow = Argb(255, 255, 255, 0);
constexpr uint32_t Magenta = Argb(255, 255, 0, 255);
constexpr int TestIconId = 101; // 16 by 16 red, 32 by 32 blue, each with a clear corner

// A list with fixed icons, built the way the program, update and feature
// lists are: fixed entries added in the constructor, then fixed.
class TFixedIconList : public TIconImageList {
public:
    explicit TFixedIconList(int fixed) {
        for (int i = 0; i < fixed; ++i)
            AddImages({}, TBgraImage(LargeSize, LargeSize, Argb(255, 0, 0, uint8_t(i))));
        FixInitialIcons();
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

// The entry as the front end sees it: drawn by the list over an opaque background.
TBgraImage Drawn(HIMAGELIST list, int index, uint32_t background) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB};
    void* bits = nullptr;
    unique_gdiobj dib(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    TBgraImage result(cx, cy, background);
    memcpy(bits, result.Pixels.data(), result.Pixels.size() * 4);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, dib.get());
    ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
    GdiFlush();
    memcpy(result.Pixels.data(), bits, result.Pixels.size() * 4);
    SelectObject(dc, old);
    DeleteDC(dc);
    for (uint32_t& p : result.Pixels)
        p |= 0xFF000000u; // a memory DC leaves the alpha byte unspecified
    return result;
}

uint32_t Centre(HIMAGELIST list, int index) {
    TBgraImage e = Entry(list, index);
    return e.Pixels.empty() ? 0 : e.At(e.Width / 2, e.Height / 2);
}

void ExpectPaired(TIconImageList& list) {
    EXPECT_EQ(ImageList_GetImageCount(list.SmallIcons()), ImageList_GetImageCount(list.LargeIcons()));
}

// A 32-bit icon made from pixels, not from a resource.
unique_hicon MakeIcon(const TBgraImage& image) {
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), image.Width, -image.Height, 1, 32, BI_RGB};
    void* bits = nullptr;
    unique_gdiobj colour(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    memcpy(bits, image.Pixels.data(), image.Pixels.size() * 4);
    unique_gdiobj mask(CreateBitmap(image.Width, image.Height, 1, 1, nullptr));
    ICONINFO info{TRUE, 0, 0, static_cast<HBITMAP>(mask.get()), static_cast<HBITMAP>(colour.get())};
    return unique_hicon(CreateIconIndirect(&info));
}

unique_gdiobj MakeBitmap(int width, int height, int bitCount, uint32_t colour, uint8_t alpha) {
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, WORD(bitCount), BI_RGB};
    void* bits = nullptr;
    unique_gdiobj bitmap(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    auto* bytes = static_cast<uint8_t*>(bits);
    int stride = ((width * bitCount / 8) + 3) & ~3;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bytes + y * stride + x * bitCount / 8;
            p[0] = BlueOf(colour), p[1] = GreenOf(colour), p[2] = RedOf(colour);
            if (bitCount == 32)
                p[3] = alpha;
        }
    }
    return bitmap;
}

// The small icon the system extracts from a file, as 16 by 16 pixels.
TBgraImage SystemSmallIcon(const std::wstring& file, int index) {
    HICON large = nullptr, small = nullptr;
    ExtractIconExW(file.c_str(), index, &large, &small, 1);
    unique_hicon largeIcon(large), smallIcon(small);
    TBgraImage pixels(16, 16);
    ICONINFO info{};
    if (!small || !GetIconInfo(small, &info))
        return {};
    unique_gdiobj colour(info.hbmColor), mask(info.hbmMask);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB};
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, 16, pixels.Pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return pixels;
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    return path;
}

std::wstring UniqueTempFile(const std::wstring& stem, const std::wstring& extension) {
    return TempFolder() + stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64()) + extension;
}

void WriteFile(const std::wstring& path, const void* data, size_t size) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The bytes of one of this test's own resources.
std::string ResourceBytes(const wchar_t* name) {
    HRSRC info = FindResourceW(ThisModule(), name, MAKEINTRESOURCEW(10));
    if (!info)
        return {};
    auto* data = static_cast<const char*>(LockResource(LoadResource(ThisModule(), info)));
    return std::string(data, SizeofResource(ThisModule(), info));
}

std::string DiagnosticLogText() {
    wchar_t folder[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder)))
        return {};
    std::wstring exe = HostExecutableFileName();
    std::wstring name = exe.substr(exe.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.find_last_of(L'.'));
    std::wstring path = std::wstring(folder) + L"\\Velmora\\Logs\\" + name + L".log";
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

// --- the pair and its indices ---------------------------------------------------

TEST(IconImageList, CreatesA16AndA32PixelListOfTheSameLength) {
    TIconImageList list;
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list.SmallIcons(), &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
    ASSERT_TRUE(ImageList_GetIconSize(list.LargeIcons(), &cx, &cy));
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 32);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.InitIconCount(), 0);

    TFixedIconList fixed(4);
    EXPECT_EQ(fixed.InitIconCount(), 4);
    EXPECT_EQ(fixed.Count(), 4);
    ExpectPaired(fixed);
    EXPECT_EQ(Centre(fixed.SmallIcons(), 3), Argb(255, 0, 0, 3));
    EXPECT_EQ(Centre(fixed.LargeIcons(), 3), Argb(255, 0, 0, 3));
}

TEST(IconImageList, FreedIndexIsReusedAndOverwrittenInBothLists) {
    TFixedIconList list(4);
    for (int i = 4; i < 10; ++i)
        ASSERT_EQ(list.AddImages({}, Solid(Red)), i);
    list.FreeIconIndex(7);
    EXPECT_FALSE(list.IsUsed(7));
    EXPECT_EQ(list.AddImages(Solid(Green, 16), Solid(Blue)), 7);
    EXPECT_TRUE(list.IsUsed(7));
    EXPECT_EQ(Centre(list.SmallIcons(), 7), Green);
    EXPECT_EQ(Centre(list.LargeIcons(), 7), Blue);
    EXPECT_EQ(list.Count(), 10);
    ExpectPaired(list);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 10);
}

TEST(IconImageList, FixedIndicesAreNeverFreed) {
    TFixedIconList list(4);
    list.FreeIconIndex(2);
    list.FreeIconIndex(0);
    EXPECT_TRUE(list.IsUsed(2));
    EXPECT_EQ(list.FreeCount(), 0);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 4);
    EXPECT_EQ(Centre(list.LargeIcons(), 2), Argb(255, 0, 0, 2));
}

TEST(IconImageList, FreeingTwiceCountsOnceAndStrayIndicesAreIgnored) {
    TFixedIconList list(4);
    for (int i = 4; i < 10; ++i)
        list.AddImages({}, Solid(Red));
    list.FreeIconIndex(8);
    list.FreeIconIndex(8);
    list.FreeIconIndex(-1);
    list.FreeIconIndex(10);
    list.FreeIconIndex(1000);
    EXPECT_EQ(list.FreeCount(), 1);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 8);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 10);
    EXPECT_EQ(list.FreeCount(), 0);
}

TEST(IconImageList, LowestFreeIndexIsTakenFirst) {
    TFixedIconList list(0);
    for (int i = 0; i < 10; ++i)
        list.AddImages({}, Solid(Red));
    list.FreeIconIndex(9);
    list.FreeIconIndex(5);
    list.FreeIconIndex(0); // nothing is fixed in this list
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 0);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 5);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 9);
    EXPECT_EQ(list.AddImages({}, Solid(Red)), 10);
}

// --- icons ----------------------------------------------------------------------

TEST(IconImageListIcons, OnlyALargeIconPutsAReductionIntoTheSmallList) {
    TBgraImage pattern(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            pattern.At(x, y) = x < 16 ? Blue : Yellow;
    unique_hicon icon = MakeIcon(pattern);
    ASSERT_TRUE(icon);
    TIconImageList list;
    ASSERT_EQ(list.AddIcon(nullptr, icon.get()), 0);
    TBgraImage small = Entry(list.SmallIcons(), 0);
    ASSERT_EQ(small.Width, 16);
    EXPECT_EQ(small.At(2, 8), Blue);
    EXPECT_EQ(small.At(13, 8), Yellow);
    TBgraImage large = Entry(list.LargeIcons(), 0);
    ASSERT_EQ(large.Width, 32);
    EXPECT_EQ(large.At(5, 16), Blue);
    EXPECT_EQ(large.At(27, 16), Yellow);
    ExpectPaired(list);
}

TEST(IconImageListIcons, OnlyASmallIconServesBothAndNoIconGivesMinusOne) {
    unique_hicon icon = MakeIcon(Solid(Magenta, 16));
    TIconImageList list;
    EXPECT_EQ(list.AddIcon(nullptr, nullptr), -1);
    ASSERT_EQ(list.AddIcon(icon.get(), nullptr), 0);
    EXPECT_EQ(Centre(list.SmallIcons(), 0), Magenta);
    EXPECT_EQ(Centre(list.LargeIcons(), 0), Magenta);
    EXPECT_EQ(list.Count(), 1);
}

TEST(IconImageListIcons, IconResourceGivesEachSizeItsOwnImageWithItsAlpha) {
    TIconImageList list;
    ASSERT_EQ(list.AddIconResource(ThisModule(), MAKEINTRESOURCEW(TestIconId)), 0);
    TBgraImage small = Entry(list.SmallIcons(), 0);
    TBgraImage large = Entry(list.LargeIcons(), 0);
    EXPECT_EQ(small.At(8, 8), Red);
    EXPECT_EQ(AlphaOf(small.At(0, 0)), 0);
    EXPECT_EQ(large.At(16, 16), Blue);
    EXPECT_EQ(AlphaOf(large.At(0, 0)), 0);
    // What the front end draws: the clear corner shows the background.
    TBgraImage drawn = Drawn(list.LargeIcons(), 0, Argb(255, 255, 255, 255));
    EXPECT_EQ(drawn.At(0, 0), Argb(255, 255, 255, 255));
    EXPECT_EQ(drawn.At(16, 16), Blue);

    EXPECT_THROW(list.AddIconResource(ThisModule(), L"NO_SUCH_ICON"), EOSError);
    EXPECT_EQ(list.Count(), 1);
    ExpectPaired(list);
}

TEST(IconImageListIcons, AppIconFromExecutablesAndIconFiles) {
    TIconImageList list;
    // A negative index names the icon resource id.
    int index = list.AddAppIcon(ThisModuleFileName(), -TestIconId);
    ASSERT_EQ(index, 0);
    EXPECT_EQ(Centre(list.LargeIcons(), index), Blue);
    // Which image the system extracts as the small icon is its choice (Wine
    // reduces the large one); the list keeps exactly that, clear corner included.
    EXPECT_EQ(Entry(list.SmallIcons(), index).Pixels,
              SystemSmallIcon(ThisModuleFileName(), -TestIconId).Pixels);
    EXPECT_EQ(AlphaOf(Entry(list.SmallIcons(), index).At(0, 0)), 0);

    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring shell32 = std::wstring(system) + L"\\shell32.dll";
    EXPECT_EQ(list.AddAppIcon(shell32, 0), 1);
    EXPECT_EQ(list.AddAppIcon(shell32, 3), 2);
    EXPECT_NE(Entry(list.LargeIcons(), 2).Pixels, Entry(list.LargeIcons(), 1).Pixels);

    std::string ico = ResourceBytes(L"TEST_ICO_FILE");
    std::wstring icoFile = UniqueTempFile(L"iconlist", L".ico");
    WriteFile(icoFile, ico.data(), ico.size());
    EXPECT_EQ(list.AddAppIcon(icoFile, 0), 3);
    EXPECT_EQ(Entry(list.SmallIcons(), 3).Pixels, SystemSmallIcon(icoFile, 0).Pixels);
    EXPECT_EQ(Centre(list.LargeIcons(), 3), Blue);
    EXPECT_EQ(list.AddAppIcon(icoFile, 1), -1); // an icon file holds one icon
    DeleteFileW(icoFile.c_str());

    EXPECT_EQ(list.AddAppIcon(shell32, 100000), -1);
    EXPECT_EQ(list.AddAppIcon(ThisModuleFileName(), -4242), -1);
    EXPECT_EQ(list.AddAppIcon(TempFolder() + L"no-such-program.exe", 0), -1);
    EXPECT_EQ(list.AddAppIcon(L"", 0), -1);
    EXPECT_EQ(list.Count(), 4);
    ExpectPaired(list);
}

TEST(IconImageListIcons, ShellIconOfAnExistingFile) {
    std::wstring text = UniqueTempFile(L"iconlist", L".txt");
    WriteFile(text, "text", 4);
    TIconImageList list;
    EXPECT_EQ(list.AddShellIcon(text), 0);
    EXPECT_EQ(list.AddShellIcon(ThisModuleFileName()), 1);
    EXPECT_NE(Entry(list.SmallIcons(), 0).Pixels, TBgraImage(16, 16).Pixels);
    DeleteFileW(text.c_str());
    EXPECT_EQ(list.AddShellIcon(text), -1);
    EXPECT_EQ(list.AddShellIcon(L""), -1);
    EXPECT_EQ(list.Count(), 2);
    ExpectPaired(list);
}

TEST(IconImageListIcons, AddFromCopiesAnotherListsEntry) {
    TIconImageList source;
    source.AddImages({}, Solid(Red));
    ASSERT_EQ(source.AddIconResource(ThisModule(), MAKEINTRESOURCEW(TestIconId)), 1);
    TFixedIconList target(2);
    EXPECT_EQ(target.AddFrom(source, 1), 2);
    EXPECT_EQ(Entry(target.SmallIcons(), 2).Pixels, Entry(source.SmallIcons(), 1).Pixels);
    EXPECT_EQ(Entry(target.LargeIcons(), 2).Pixels, Entry(source.LargeIcons(), 1).Pixels);
    EXPECT_EQ(target.AddFrom(source, 0), 3);
    EXPECT_EQ(Centre(target.LargeIcons(), 3), Red);
    EXPECT_EQ(target.AddFrom(source, 2), -1);
    EXPECT_EQ(target.AddFrom(source, -1), -1);
    EXPECT_EQ(target.Count(), 4);
    ExpectPaired(target);
    ExpectPaired(source);
}

// --- PNG images and bitmaps -----------------------------------------------------

TEST(IconImageListPng, A24PixelResourceIsStretchedTo32And16) {
    TIconImageList list;
    ASSERT_EQ(list.AddFromPNGResources(ThisModule(), L"TEST_PNG_24"), 0);
    ExpectPaired(list);
    // Left half red, right half blue, lowest quarter clear, at both sizes:
    // stretched, not cropped or tiled.
    for (HIMAGELIST images : {list.LargeIcons(), list.SmallIcons()}) {
        TBgraImage e = Entry(images, 0);
        int size = e.Width, half = size / 2, opaque = size * 3 / 4;
        SCOPED_TRACE(size);
        EXPECT_EQ(e.At(half - 1, 2), Red);
        EXPECT_EQ(e.At(half, 2), Blue);
        EXPECT_EQ(e.At(0, opaque - 1), Red);
        EXPECT_EQ(AlphaOf(e.At(0, opaque)), 0);
        EXPECT_EQ(AlphaOf(e.At(size - 1, size - 1)), 0);
    }
    EXPECT_EQ(Entry(list.LargeIcons(), 0).Width, 32);
    EXPECT_EQ(Entry(list.SmallIcons(), 0).Width, 16);
}

TEST(IconImageListPng, TwoResourcesGiveEachListItsOwnImage) {
    TIconImageList list;
    ASSERT_EQ(list.AddFromPNGResources(ThisModule(), L"TEST_PNG_SMALL", L"TEST_PNG_LARGE"), 0);
    EXPECT_EQ(Centre(list.SmallIcons(), 0), Green);
    EXPECT_EQ(Entry(list.SmallIcons(), 0).At(15, 15), Green); // 20 pixels stretched, not cropped
    EXPECT_EQ(Centre(list.LargeIcons(), 0), Magenta);
}

TEST(IconImageListPng, ImagesWithoutAlphaBecomeOpaque) {
    TIconImageList list;
    ASSERT_EQ(list.AddFromPNGResources(ThisModule(), L"TEST_PNG_RGB"), 0);
    EXPECT_EQ(Centre(list.LargeIcons(), 0), Argb(255, 10, 200, 30));
    ASSERT_EQ(list.AddFromPNGResources(ThisModule(), L"TEST_PNG_ZERO_ALPHA"), 1);
    EXPECT_EQ(Centre(list.LargeIcons(), 1), Argb(255, 40, 80, 120));
    EXPECT_EQ(Centre(list.SmallIcons(), 1), Argb(255, 40, 80, 120));
    EXPECT_EQ(Drawn(list.SmallIcons(), 1, Argb(255, 255, 255, 255)).At(0, 0), Argb(255, 40, 80, 120));
}

TEST(IconImageListPng, BadOrMissingResourcesThrowAndLeaveTheListAlone) {
    TIconImageList list;
    EXPECT_THROW(list.AddFromPNGResources(ThisModule(), L"TEST_NOT_A_PNG"), EOSError);
    EXPECT_THROW(list.AddFromPNGResources(ThisModule(), L"NO_SUCH_PNG"), EOSError);
    EXPECT_THROW(list.AddFromPNGResources(ThisModule(), L"NO_SUCH_PNG", L"TEST_PNG_LARGE"), EOSError);
    EXPECT_EQ(list.Count(), 0);
    ExpectPaired(list);
}

TEST(IconImageListPng, PngFileIsBlendedOverTheTileColour) {
    std::string png = ResourceBytes(L"TEST_PNG_TRANSLUCENT");
    ASSERT_FALSE(png.empty());
    std::wstring file = UniqueTempFile(L"logo", L".png");
    WriteFile(file, png.data(), png.size());
    TIconImageList list;
    EXPECT_EQ(list.AddPngImage(file), 0);
    // White at alpha 128 over RGB(0, 120, 215), opaque.
    EXPECT_EQ(Centre(list.LargeIcons(), 0), Argb(255, 128, 187, 235));
    EXPECT_EQ(Centre(list.SmallIcons(), 0), Argb(255, 128, 187, 235));
    DeleteFileW(file.c_str());
}

TEST(IconImageListPng, InvalidPngFileGivesMinusOneAndOneLogLine) {
    DebugLog().SetDirectWrite(true);
    std::wstring invalid = UniqueTempFile(L"not-a-png", L".png");
    WriteFile(invalid, "GIF89a, not a PNG", 17);
    std::wstring missing = UniqueTempFile(L"missing", L".png");
    std::string line = Narrow(L"Error while load bitmap " + invalid + L" (");
    size_t before = Occurrences(DiagnosticLogText(), line);

    TIconImageList list;
    EXPECT_EQ(list.AddPngImage(invalid), -1);
    EXPECT_EQ(list.AddPngImage(missing), -1); // nothing to load: no error
    EXPECT_EQ(list.AddPngImage(L""), -1);
    EXPECT_EQ(list.Count(), 0);

    std::string log = DiagnosticLogText();
    EXPECT_EQ(Occurrences(log, line), before + 1);
    EXPECT_EQ(Occurrences(log, Narrow(missing)), 0u);
    DeleteFileW(invalid.c_str());
}

TEST(IconImageListPng, BitmapsOfAnySizeAndFormatAreConverted) {
    TIconImageList list;
    EXPECT_EQ(list.AddBitmaps(nullptr, nullptr), -1);
    // 24-bit: no alpha at all, so opaque.
    unique_gdiobj rgb = MakeBitmap(32, 32, 24, Argb(0, 10, 20, 30), 0);
    ASSERT_EQ(list.AddBitmaps(nullptr, static_cast<HBITMAP>(rgb.get())), 0);
    EXPECT_EQ(Centre(list.SmallIcons(), 0), Argb(255, 10, 20, 30));
    EXPECT_EQ(Centre(list.LargeIcons(), 0), Argb(255, 10, 20, 30));
    // 32-bit with alpha never written: opaque too.
    unique_gdiobj zero = MakeBitmap(24, 24, 32, Argb(0, 40, 50, 60), 0);
    ASSERT_EQ(list.AddBitmaps(static_cast<HBITMAP>(zero.get()), nullptr), 1);
    EXPECT_EQ(Centre(list.LargeIcons(), 1), Argb(255, 40, 50, 60));
    // A wide bitmap stays one entry.
    unique_gdiobj small = MakeBitmap(48, 16, 32, Argb(0, 1, 2, 3), 255);
    unique_gdiobj large = MakeBitmap(32, 32, 32, Argb(0, 4, 5, 6), 255);
    ASSERT_EQ(list.AddBitmaps(static_cast<HBITMAP>(small.get()), static_cast<HBITMAP>(large.get())), 2);
    EXPECT_EQ(Centre(list.SmallIcons(), 2), Argb(255, 1, 2, 3));
    EXPECT_EQ(Centre(list.LargeIcons(), 2), Argb(255, 4, 5, 6));
    EXPECT_EQ(list.Count(), 3);
    ExpectPaired(list);
}

// --- failures -------------------------------------------------------------------

TEST(IconImageListFailures, ListsOutOfStepRaiseImageListErrorAndLeaveNoHalfEntry) {
    TFixedIconList list(4);
    for (int i = 4; i < 10; ++i)
        list.AddImages({}, Solid(Red));
    // Someone appended to the large list behind the pair's back.
    unique_gdiobj extra = MakeBitmap(32, 32, 32, Red, 255);
    ASSERT_EQ(ImageList_Add(list.LargeIcons(), static_cast<HBITMAP>(extra.get()), nullptr), 10);

    try {
        list.AddImages({}, Solid(Blue));
        ADD_FAILURE() << "no error";
    } catch (const EImageListError& e) {
        EXPECT_STREQ(e.what(), "unexpected index - 11, wait - 10");
    }
    unique_hicon icon = MakeIcon(Solid(Blue));
    EXPECT_THROW(list.AddIcon(icon.get(), icon.get()), EImageListError);
    EXPECT_EQ(ImageList_GetImageCount(list.SmallIcons()), 10);
    EXPECT_EQ(ImageList_GetImageCount(list.LargeIcons()), 11);
    EXPECT_FALSE(list.IsUsed(10));
    EXPECT_EQ(list.FreeCount(), 0);
}

TEST(IconImageListFailures, RefusedReplacementGivesTheSlotBack) {
    TFixedIconList list(4);
    for (int i = 4; i < 10; ++i)
        list.AddImages({}, Solid(Red));
    list.FreeIconIndex(9);
    ASSERT_TRUE(ImageList_Remove(list.LargeIcons(), -1)); // the large list cannot take index 9 now
    EXPECT_THROW(list.AddImages({}, Solid(Blue)), EOSError);
    EXPECT_FALSE(list.IsUsed(9));
    EXPECT_EQ(list.FreeCount(), 1);
    unique_hicon icon = MakeIcon(Solid(Blue));
    EXPECT_THROW(list.AddIcon(icon.get(), icon.get()), EOSError);
    EXPECT_FALSE(list.IsUsed(9));
    EXPECT_EQ(list.FreeCount(), 1);
}

// --- the library's own images ---------------------------------------------------

TEST(LibraryImages, EveryIconResourceHoldsA16AndA32PixelImage) {
    const wchar_t* names[] = {
        L"ICON_DEF_XP_SMALL",      L"ICON_DEF_XP_LARGE",       L"ICON_DEF_VISTA_SMALL",
        L"ICON_DEF_VISTA_LARGE",   L"ICON_DISABLED",           L"ICON_ENABLED",
        L"ICON_FEATURE_DEF",       L"ICON_FEATURE_IE",         L"ICON_FEATURE_DOTNET",
        L"ICON_FEATURE_GAMES",     L"ICON_FEATURE_GADGETS",    L"ICON_FEATURE_PRINTING",
        L"ICON_FEATURE_MEDIA",     L"ICON_FEATURE_IIS",        L"ICON_FEATURE_XPS",
        L"ICON_FEATURE_INDEXING",  L"ICON_FEATURE_ACTIVATION", L"ICON_FEATURE_TABLETPC",
        L"ICON_FEATURE_NETWORK",   L"ICON_FEATURE_FAX",        L"ICON_FEATURE_APPS",
        L"ICON_FEATURE_MESSENGER", L"ICON_FEATURE_OUTLOOK",    L"ICON_FEATURE_APPXS",
    };
    HMODULE module = ThisModule();
    TIconImageList list;
    int expected = 0;
    for (const wchar_t* name : names) {
        SCOPED_TRACE(Narrow(name));
        HRSRC group = FindResourceW(module, name, MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
        ASSERT_TRUE(group);
        auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
        for (int size : {16, 32}) {
            int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
            HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3)); // RT_ICON
            ASSERT_TRUE(image);
            auto* header = static_cast<BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)));
            EXPECT_EQ(header->biWidth, size);
            EXPECT_EQ(header->biBitCount, 32);
        }
        ASSERT_EQ(list.AddIconResource(module, name), expected++);
        TBgraImage large = Entry(list.LargeIcons(), expected - 1);
        EXPECT_TRUE(HasAlphaChannel(large));
    }
    ExpectPaired(list);
}

TEST(LibraryImages, RatingBadgesAreRoundWithATransparentCorner) {
    TIconImageList list;
    int expected = 0;
    for (const wchar_t* name : {L"RATING_TRUST", L"RATING_UNKNOWN", L"RATING_RISKY"}) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_EQ(list.AddFromPNGResources(ThisModule(), name), expected++);
        for (HIMAGELIST images : {list.SmallIcons(), list.LargeIcons()}) {
            TBgraImage e = Entry(images, expected - 1);
            EXPECT_EQ(AlphaOf(e.At(0, 0)), 0);
            EXPECT_EQ(AlphaOf(e.At(e.Width / 2, e.Height - 3)), 255);
        }
    }
    // Three different badges.
    EXPECT_NE(Entry(list.LargeIcons(), 0).Pixels, Entry(list.LargeIcons(), 1).Pixels);
    EXPECT_NE(Entry(list.LargeIcons(), 1).Pixels, Entry(list.LargeIcons(), 2).Pixels);
}

// --- threads --------------------------------------------------------------------

TEST(IconImageListThreads, ConcurrentAdditionsAndFreesKeepIndicesPaired) {
    TFixedIconList list(4);
    constexpr int Threads = 4, Rounds = 60;
    struct TEntry {
        int Index;
        uint32_t Small, Large;
    };
    std::vector<std::vector<TEntry>> kept(Threads);
    std::atomic<bool> failed{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([&, t] {
            std::vector<TEntry>& mine = kept[t];
            for (int r = 0; r < Rounds; ++r) {
                uint32_t small = Argb(255, uint8_t(t * 60), uint8_t(r), 10);
                uint32_t large = Argb(255, uint8_t(t * 60), uint8_t(r), 200);
                int index = r % 3 == 0
                                ? list.AddIcon(MakeIcon(Solid(small, 16)).get(), MakeIcon(Solid(large)).get())
                                : list.AddImages(Solid(small, 16), Solid(large));
                if (index < 4)
                    failed = true;
                mine.push_back({index, small, large});
                if (r % 4 == 3) { // give one back now and then
                    list.FreeIconIndex(mine[mine.size() / 2].Index);
                    mine.erase(mine.begin() + mine.size() / 2);
                }
            }
        });
    }
    for (auto& w : workers)
        w.join();
    ASSERT_FALSE(failed);
    ExpectPaired(list);
    std::set<int> used;
    for (auto& mine : kept) {
        for (const TEntry& e : mine) {
            EXPECT_TRUE(used.insert(e.Index).second) << "index " << e.Index << " handed out twice";
            EXPECT_TRUE(list.IsUsed(e.Index));
            EXPECT_EQ(Centre(list.SmallIcons(), e.Index), e.Small) << e.Index;
            EXPECT_EQ(Centre(list.LargeIcons(), e.Index), e.Large) << e.Index;
        }
    }
    // Every entry is either in use or waiting for reuse.
    EXPECT_EQ(int(used.size()) + 4 + list.FreeCount(), list.Count());
}
