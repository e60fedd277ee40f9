#include "frame/IconImageList.h"

#include "frame/DebugLog.h"
#include "platform/ComObject.h"
#include "platform/Format.h"
#include "platform/OSError.h"
#include "platform/Paths.h"

#include <shellapi.h>
#include <wincodec.h>

#include <climits>

namespace velmora {

EImageListError::EImageListError(int obtained, int expected)
    : std::runtime_error(Narrow(Format(L"unexpected index - %d, wait - %d", obtained, expected))) {}

namespace {

// Image-list calls rarely set a last error (callers clear it first); a refusal
// without one is reported with the given code instead of "success".
[[noreturn]] void ThrowSystemError(std::wstring_view context, DWORD fallback = ERROR_INVALID_DATA) {
    DWORD code = GetLastError();
    throw EOSError(context, code ? code : fallback);
}

std::wstring ResourceLabel(const wchar_t* name) {
    if (IS_INTRESOURCE(name))
        return Format(L"#%d", static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return name;
}

// The copy the list stores; taken from the icon's resource at that size where
// the system can, otherwise a stretched copy.
unique_hicon CopyIconAt(HICON icon, int size) {
    if (!icon)
        return {};
    HANDLE copy = CopyImage(icon, IMAGE_ICON, size, size, LR_COPYFROMRESOURCE);
    if (!copy)
        copy = CopyImage(icon, IMAGE_ICON, size, size, 0);
    return unique_hicon(static_cast<HICON>(copy));
}

// Larger images are refused: no icon source needs them and decoding one would
// only cost memory.
constexpr UINT MaxImageSide = 4096;

TBgraImage DecodePng(const std::wstring* fileName, const void* data, DWORD size) {
    TComApartmentGuard com;
    TComPtr<IWICImagingFactory> factory;
    CheckHResult(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())),
                 L"Imaging component");
    TComPtr<IWICStream> stream;
    CheckHResult(factory->CreateStream(stream.put()), L"Image stream");
    if (fileName)
        CheckHResult(stream->InitializeFromFilename(fileName->c_str(), GENERIC_READ), L"Image file");
    else
        CheckHResult(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), size),
                     L"Image stream");
    TComPtr<IWICBitmapDecoder> decoder;
    CheckHResult(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.put()), L"PNG decoder");
    CheckHResult(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnLoad), L"PNG image");
    TComPtr<IWICBitmapFrameDecode> frame;
    CheckHResult(decoder->GetFrame(0, frame.put()), L"PNG image");
    // Straight BGRA for every source format: one without alpha comes out opaque.
    TComPtr<IWICFormatConverter> converter;
    CheckHResult(factory->CreateFormatConverter(converter.put()), L"Pixel format converter");
    CheckHResult(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                       nullptr, 0.0, WICBitmapPaletteTypeCustom),
                 L"PNG pixel format");
    UINT width = 0, height = 0;
    CheckHResult(converter->GetSize(&width, &height), L"PNG image size");
    if (width == 0 || height == 0 || width > MaxImageSide || height > MaxImageSide)
        throw EOSError(Format(L"PNG image size %dx%d", width, height), ERROR_INVALID_DATA);
    TBgraImage image(static_cast<int>(width), static_cast<int>(height));
    CheckHResult(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                       reinterpret_cast<BYTE*>(image.Pixels.data())),
                 L"PNG pixels");
    return image;
}

TBgraImage LoadPngResource(HMODULE module, const wchar_t* name) {
    HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (!info)
        ThrowSystemError(L"PNG resource " + ResourceLabel(name), ERROR_RESOURCE_NAME_NOT_FOUND);
    HGLOBAL handle = LoadResource(module, info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data)
        ThrowSystemError(L"PNG resource " + ResourceLabel(name));
    return DecodePng(nullptr, data, SizeofResource(module, info));
}

TBgraImage ReadBitmap(HBITMAP bitmap) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        ThrowSystemError(L"Bitmap", ERROR_INVALID_HANDLE);
    TBgraImage image(info.bmWidth, info.bmHeight);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = image.Width;
    format.bmiHeader.biHeight = -image.Height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    int rows = GetDIBits(unique_screen_dc(GetDC(nullptr)).get(), bitmap, 0, image.Height, image.Pixels.data(),
                         &format, DIB_RGB_COLORS);
    if (rows != image.Height)
        ThrowSystemError(L"Bitmap pixels");
    // Only a 32-bit bitmap has alpha; any other format is taken as opaque.
    if (info.bmBitsPixel != 32)
        for (uint32_t& p : image.Pixels)
            p |= 0xFF000000u;
    return image;
}

// A 32-bit DIB section with the image's pixels, and the mask the list keeps
// beside it (set where the image is fully transparent) for drawing without
// alpha.
struct TListBitmaps {
    unique_gdiobj Image;
    unique_gdiobj Mask;
};

TListBitmaps MakeListBitmaps(const TBgraImage& image) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = image.Width;
    format.bmiHeader.biHeight = -image.Height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    TListBitmaps result;
    result.Image.reset(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!result.Image || !bits)
        ThrowSystemError(L"CreateDIBSection", ERROR_NOT_ENOUGH_MEMORY);
    memcpy(bits, image.Pixels.data(), image.Pixels.size() * sizeof(uint32_t));
    GdiFlush();
    // Monochrome rows are word aligned.
    size_t stride = ((image.Width + 15) / 16) * 2;
    std::vector<BYTE> mask(stride * image.Height, 0);
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x)
            if (AlphaOf(image.At(x, y)) == 0)
                mask[y * stride + x / 8] |= BYTE(0x80 >> (x % 8));
    result.Mask.reset(CreateBitmap(image.Width, image.Height, 1, 1, mask.data()));
    if (!result.Mask)
        ThrowSystemError(L"CreateBitmap", ERROR_NOT_ENOUGH_MEMORY);
    return result;
}

} // namespace

TIconImageList::TIconImageList() {
    SetLastError(ERROR_SUCCESS);
    FSmallIcons.reset(ImageList_Create(SmallSize, SmallSize, ILC_COLOR32 | ILC_MASK, 4, 4));
    if (!FSmallIcons)
        ThrowSystemError(L"ImageList_Create", ERROR_NOT_ENOUGH_MEMORY);
    FLargeIcons.reset(ImageList_Create(LargeSize, LargeSize, ILC_COLOR32 | ILC_MASK, 4, 4));
    if (!FLargeIcons)
        ThrowSystemError(L"ImageList_Create", ERROR_NOT_ENOUGH_MEMORY);
}

TIconImageList::~TIconImageList() = default;

void TIconImageList::FixInitialIcons() {
    std::lock_guard guard(FLock);
    FInitIconCount = static_cast<int>(FBitSet.size());
}

int TIconImageList::Count() {
    std::lock_guard guard(FLock);
    return ImageList_GetImageCount(FSmallIcons.get());
}

bool TIconImageList::IsUsed(int index) {
    std::lock_guard guard(FLock);
    return index >= 0 && static_cast<size_t>(index) < FBitSet.size() && FBitSet[index];
}

int TIconImageList::FreeCount() {
    std::lock_guard guard(FLock);
    return FFreeCount;
}

// Under the lock: the lowest free index, or -1 to append.
int TIconImageList::TakeSlot() {
    if (FFreeCount < 1)
        return -1;
    for (size_t i = 0; i < FBitSet.size(); ++i) {
        if (!FBitSet[i]) {
            --FFreeCount;
            return static_cast<int>(i);
        }
    }
    FFreeCount = 0; // nothing was really free
    return -1;
}

void TIconImageList::ReturnSlot(int index, bool reused) {
    if (reused && index >= 0)
        ++FFreeCount;
}

void TIconImageList::MarkUsed(int index) {
    if (FBitSet.size() <= static_cast<size_t>(index))
        FBitSet.resize(index + 1, false);
    FBitSet[index] = true;
}

int TIconImageList::InsertIcons(HICON small, HICON large) {
    std::lock_guard guard(FLock);
    int slot = TakeSlot();
    bool reused = slot >= 0;
    int added = -1; // an appended small entry, removed again on failure
    try {
        SetLastError(ERROR_SUCCESS);
        int index = ImageList_ReplaceIcon(FSmallIcons.get(), slot, small);
        if (index < 0)
            ThrowSystemError(L"ImageList_ReplaceIcon");
        if (!reused)
            added = index;
        else if (index != slot)
            throw EImageListError(index, slot);
        SetLastError(ERROR_SUCCESS);
        int other = ImageList_ReplaceIcon(FLargeIcons.get(), slot, large);
        if (other < 0)
            ThrowSystemError(L"ImageList_ReplaceIcon");
        if (other != index) {
            if (!reused)
                ImageList_Remove(FLargeIcons.get(), other);
            throw EImageListError(other, index);
        }
        MarkUsed(index);
        return index;
    } catch (...) {
        if (added >= 0)
            ImageList_Remove(FSmallIcons.get(), added);
        ReturnSlot(slot, reused);
        throw;
    }
}

int TIconImageList::AddIcon(HICON small, HICON large) {
    if (!small && !large)
        return -1;
    if (!small)
        small = large;
    if (!large)
        large = small;
    unique_hicon smallCopy = CopyIconAt(small, SmallSize);
    unique_hicon largeCopy = CopyIconAt(large, LargeSize);
    if (!smallCopy)
        smallCopy = CopyIconAt(large, SmallSize);
    if (!largeCopy)
        largeCopy = CopyIconAt(small, SmallSize);
    if (!smallCopy || !largeCopy)
        return -1;
    return InsertIcons(smallCopy.get(), largeCopy.get());
}

int TIconImageList::AddImages(const TBgraImage& small, const TBgraImage& large) {
    bool hasSmall = !small.Pixels.empty(), hasLarge = !large.Pixels.empty();
    if (!hasSmall && !hasLarge)
        return -1;
    // Opacity first: stretching weighs colours by alpha, and an image without
    // any alpha is meant opaque, not invisible.
    TBgraImage smallImage = hasSmall ? small : large;
    TBgraImage largeImage = hasLarge ? large : small;
    PrepareBitmap(smallImage, false);
    PrepareBitmap(largeImage, false);
    smallImage = StretchImage(smallImage, SmallSize, SmallSize);
    largeImage = StretchImage(largeImage, LargeSize, LargeSize);
    TListBitmaps smallBitmaps = MakeListBitmaps(smallImage);
    TListBitmaps largeBitmaps = MakeListBitmaps(largeImage);

    std::lock_guard guard(FLock);
    int slot = TakeSlot();
    bool reused = slot >= 0;
    int added = -1;
    try {
        auto smallBitmap = static_cast<HBITMAP>(smallBitmaps.Image.get());
        auto smallMask = static_cast<HBITMAP>(smallBitmaps.Mask.get());
        auto largeBitmap = static_cast<HBITMAP>(largeBitmaps.Image.get());
        auto largeMask = static_cast<HBITMAP>(largeBitmaps.Mask.get());
        SetLastError(ERROR_SUCCESS);
        if (reused) {
            if (!ImageList_Replace(FSmallIcons.get(), slot, smallBitmap, smallMask) ||
                !ImageList_Replace(FLargeIcons.get(), slot, largeBitmap, largeMask))
                ThrowSystemError(L"ImageList_Replace");
            MarkUsed(slot);
            return slot;
        }
        added = ImageList_Add(FSmallIcons.get(), smallBitmap, smallMask);
        if (added < 0)
            ThrowSystemError(L"ImageList_Add");
        SetLastError(ERROR_SUCCESS);
        int index = ImageList_Add(FLargeIcons.get(), largeBitmap, largeMask);
        if (index < 0)
            ThrowSystemError(L"ImageList_Add");
        if (index != added) {
            ImageList_Remove(FLargeIcons.get(), index);
            throw EImageListError(index, added);
        }
        MarkUsed(index);
        return index;
    } catch (...) {
        if (added >= 0)
            ImageList_Remove(FSmallIcons.get(), added);
        ReturnSlot(slot, reused);
        throw;
    }
}

int TIconImageList::AddBitmaps(HBITMAP small, HBITMAP large) {
    if (!small && !large)
        return -1;
    TBgraImage smallImage = small ? ReadBitmap(small) : TBgraImage();
    TBgraImage largeImage = large ? ReadBitmap(large) : TBgraImage();
    return AddImages(smallImage, largeImage);
}

int TIconImageList::AddAppIcon(const std::wstring& fileName, int iconIndex) {
    if (fileName.empty())
        return -1;
    HICON large = nullptr, small = nullptr;
    UINT extracted = ExtractIconExW(fileName.c_str(), iconIndex, &large, &small, 1);
    unique_hicon largeIcon(large), smallIcon(small);
    // The count tells whether anything was extracted; the handles alone do not.
    if (extracted == 0 || extracted == UINT_MAX || !large || !small)
        return -1;
    return AddIcon(smallIcon.get(), largeIcon.get());
}

int TIconImageList::AddShellIcon(const std::wstring& fileName) {
    if (!PathExists(fileName))
        return -1;
    // The shell's file information needs COM on whatever thread adds an icon.
    TComApartmentGuard com;
    SHFILEINFOW info{};
    auto smallList = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(fileName.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    int index = info.iIcon;
    if (!smallList || index < 0)
        return -1;
    auto largeList = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(fileName.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
    // The system image lists are shared: borrowed, never destroyed.
    unique_hicon small(ImageList_GetIcon(smallList, index, ILD_TRANSPARENT));
    unique_hicon large(largeList ? ImageList_GetIcon(largeList, index, ILD_TRANSPARENT) : nullptr);
    return AddIcon(small.get(), large.get());
}

int TIconImageList::AddFrom(TIconImageList& other, int index) {
    unique_hicon small, large;
    {
        std::lock_guard guard(other.FLock);
        if (index < 0 || index >= ImageList_GetImageCount(other.FSmallIcons.get()))
            return -1;
        small.reset(ImageList_GetIcon(other.FSmallIcons.get(), index, ILD_TRANSPARENT));
        large.reset(ImageList_GetIcon(other.FLargeIcons.get(), index, ILD_TRANSPARENT));
    }
    return AddIcon(small.get(), large.get());
}

int TIconImageList::AddFromPNGResources(HMODULE module, const wchar_t* resourceName) {
    TBgraImage large = LoadPngResource(module, resourceName);
    PrepareBitmap(large, false);
    large = StretchImage(large, LargeSize, LargeSize);
    TBgraImage small = StretchImage(large, SmallSize, SmallSize);
    return AddImages(small, large);
}

int TIconImageList::AddFromPNGResources(HMODULE module, const wchar_t* smallResourceName,
                                        const wchar_t* largeResourceName) {
    TBgraImage large = LoadPngResource(module, largeResourceName);
    PrepareBitmap(large, false);
    large = StretchImage(large, LargeSize, LargeSize);
    TBgraImage small = StretchImage(LoadPngResource(module, smallResourceName), SmallSize, SmallSize);
    return AddImages(small, large);
}

int TIconImageList::AddPngImage(const std::wstring& fileName) {
    if (!PathExists(fileName))
        return -1;
    try {
        TBgraImage large = DecodePng(&fileName, nullptr, 0);
        PrepareBitmap(large, true);
        large = StretchImage(large, LargeSize, LargeSize);
        TBgraImage small = StretchImage(large, SmallSize, SmallSize);
        return AddImages(small, large);
    } catch (...) {
        std::exception_ptr error = std::current_exception();
        DebugLog().WriteLogF(TLogLevel::llError, L"Error while load bitmap %s (%s):%s", fileName,
                             ErrorClassName(error), ErrorMessage(error));
        return -1;
    }
}

int TIconImageList::AddIconResource(HMODULE module, const wchar_t* resourceName) {
    return AddIconResources(module, resourceName, resourceName);
}

int TIconImageList::AddIconResources(HMODULE module, const wchar_t* smallResourceName,
                                     const wchar_t* largeResourceName) {
    unique_hicon small(static_cast<HICON>(
        LoadImageW(module, smallResourceName, IMAGE_ICON, SmallSize, SmallSize, LR_DEFAULTCOLOR)));
    if (!small)
        ThrowSystemError(L"Icon resource " + ResourceLabel(smallResourceName), ERROR_RESOURCE_NAME_NOT_FOUND);
    unique_hicon large(static_cast<HICON>(
        LoadImageW(module, largeResourceName, IMAGE_ICON, LargeSize, LargeSize, LR_DEFAULTCOLOR)));
    if (!large)
        ThrowSystemError(L"Icon resource " + ResourceLabel(largeResourceName), ERROR_RESOURCE_NAME_NOT_FOUND);
    return AddIcon(small.get(), large.get());
}

void TIconImageList::FreeIconIndex(int index) {
    if (index < FInitIconCount || index < 0)
        return;
    std::lock_guard guard(FLock);
    if (static_cast<size_t>(index) < FBitSet.size() && FBitSet[index]) {
        FBitSet[index] = false;
        ++FFreeCount;
    }
}

} // namespace velmora
