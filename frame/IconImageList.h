#pragma once
// A pair of image lists, 16 by 16 and 32 by 32, in which an icon has the same
// index in both. Indices are stable: a freed index is reused by a later
// addition, so items can keep theirs while others come and go. Items add
// icons from background threads while the front end draws, so every change
// happens under the list's own (re-entrant) lock.
#include "frame/BitmapPreparation.h"
#include "platform/Handles.h"

#include <windows.h>
#include <commctrl.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// The two lists disagree about an index.
class EImageListError : public std::runtime_error {
public:
    EImageListError(int obtained, int expected);
};

class TIconImageList {
public:
    static constexpr int SmallSize = 16;
    static constexpr int LargeSize = 32;

    // Creates both image lists; throws EOSError when the system refuses.
    TIconImageList();
    virtual ~TIconImageList();
    TIconImageList(const TIconImageList&) = delete;
    TIconImageList& operator=(const TIconImageList&) = delete;

    HIMAGELIST SmallIcons() const { return FSmallIcons.get(); }
    HIMAGELIST LargeIcons() const { return FLargeIcons.get(); }

    // Each addition returns the new index, or -1 when nothing could be added.
    // System refusals while inserting throw EOSError, a disagreement of the two
    // lists EImageListError; the index is then free again.

    // The icon at iconIndex (negative: a resource id) of an executable or icon file.
    int AddAppIcon(const std::wstring& fileName, int iconIndex);
    // The icon the shell shows for an existing file.
    int AddShellIcon(const std::wstring& fileName);
    // A copy of another list's entry.
    int AddFrom(TIconImageList& other, int index);
    // A PNG resource (type RCDATA) used for both sizes, or one for each size.
    // A missing or undecodable resource throws.
    int AddFromPNGResources(HMODULE module, const wchar_t* resourceName);
    int AddFromPNGResources(HMODULE module, const wchar_t* smallResourceName,
                            const wchar_t* largeResourceName);
    // A PNG file used for both sizes, blended over the tile colour where it is
    // translucent. Never throws: a failure is logged and gives -1.
    int AddPngImage(const std::wstring& fileName);
    // Icon resources of a module, the best 16 by 16 and 32 by 32 image of each
    // group. A missing resource throws.
    int AddIconResource(HMODULE module, const wchar_t* resourceName);
    int AddIconResources(HMODULE module, const wchar_t* smallResourceName, const wchar_t* largeResourceName);

    // The insertions the others are built on. A missing icon or bitmap is made
    // from the other one; both missing give -1. Bitmaps of other sizes or pixel
    // formats are converted.
    int AddIcon(HICON small, HICON large);
    int AddBitmaps(HBITMAP small, HBITMAP large);
    int AddImages(const TBgraImage& small, const TBgraImage& large);

    // Gives an index back for reuse. The fixed icons added during construction
    // are never freed; freeing a free index changes nothing.
    void FreeIconIndex(int index);

    // Number of entries in each list, used and free.
    int Count();
    bool IsUsed(int index);
    int FreeCount();
    int InitIconCount() const { return FInitIconCount; }

    // The list's own lock, re-entrant; derived lists guard their maps with it.
    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }

protected:
    // Derived constructors call this after adding their fixed icons: every index
    // used so far becomes fixed. The most derived constructor's call counts.
    void FixInitialIcons();

private:
    int TakeSlot();
    void ReturnSlot(int index, bool reused);
    void MarkUsed(int index);
    int InsertIcons(HICON small, HICON large);

    std::recursive_mutex FLock;
    unique_himagelist FSmallIcons;
    unique_himagelist FLargeIcons;
    std::vector<bool> FBitSet;
    int FFreeCount = 0;
    int FInitIconCount = 0;
};

} // namespace velmora
