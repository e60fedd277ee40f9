#include "inventory/ProductCollections.h"

#include "frame/Boundary.h"
#include "frame/IconImageList.h"
#include "inventory/ItemProductIntf.h"
#include "inventory/ItemProgram.h"
#include "inventory/ItemUpdate.h"

#include <initializer_list>

namespace velmora {

namespace {

constexpr int32_t InfoBits(std::initializer_list<TProductInfo> infos) {
    int32_t mask = 0;
    for (TProductInfo info : infos)
        mask |= InfoBit(info);
    return mask;
}

// What every product answers.
constexpr int32_t ProductInfoMask =
    InfoBits({piDisplayName, piDisplayVersion, piPublisher, piInstallLocation, piInstallSource, piInstallDate,
              piContact, piComments, piURLReadMe, piURLHelpLink, piURLSupport, piPhoneSupport,
              piURLUpdateInfo, piLanguage, piEstimatedSize});
// Programs answer their product code (piProductKeyName) too; it is left out of the mask.
constexpr int32_t ProgramInfoMask =
    ProductInfoMask | InfoBits({piRegisteredOwner, piRegisteredCompany, piProductID, piLastUsedDate,
                                piUsedType, piSoftwareRating});
constexpr int32_t UpdateInfoMask =
    ProductInfoMask | InfoBits({piUpdateID, piReleaseType, piParentDisplayName});

} // namespace

struct TProgramSource {
    static constexpr int32_t InfoMask = ProgramInfoMask;
    static auto& Items() { return TItemProgram::Items(); }
    static std::recursive_mutex& ListLock() { return TItemProgram::Items().Lock(); }
    static TIconImageList* Images() { return TItemProgram::IconList(); }
    static bool AskProducts() { return false; }
};

// The rarely used programs are guarded by the program list's lock.
struct TUnusedSource {
    static constexpr int32_t InfoMask = ProgramInfoMask;
    static auto& Items() { return TItemProgram::UnusedItems(); }
    static std::recursive_mutex& ListLock() { return TItemProgram::Items().Lock(); }
    static TIconImageList* Images() { return TItemProgram::IconList(); }
    static bool AskProducts() { return false; }
};

struct TUpdateSource {
    static constexpr int32_t InfoMask = UpdateInfoMask;
    static auto& Items() { return TItemUpdate::Items(); }
    static std::recursive_mutex& ListLock() { return TItemUpdate::Items().Lock(); }
    static TIconImageList* Images() { return TItemUpdate::IconList(); }
    static bool AskProducts() { return true; }
};

template <class Source> int32_t TProductCollection<Source>::GetInfoMask() {
    return Source::InfoMask;
}

template <class Source> int32_t TProductCollection<Source>::GetCount() {
    return Guarded(0, [] { return Source::Items().Count(); });
}

template <class Source> void TProductCollection<Source>::GetItem(int32_t Index, IProduct** Product) {
    Guarded([&] {
        if (!Product)
            return;
        *Product = nullptr;
        if (auto item = Source::Items().Get(Index))
            *Product = MakeCom<TItemProductIntf, IProduct>(item).Detach();
    });
}

template <class Source> HIMAGELIST TProductCollection<Source>::GetSmallImages() {
    TIconImageList* images = Source::Images();
    return images ? images->SmallIcons() : nullptr;
}

template <class Source> HIMAGELIST TProductCollection<Source>::GetLargeImages() {
    TIconImageList* images = Source::Images();
    return images ? images->LargeIcons() : nullptr;
}

template <class Source> bool TProductCollection<Source>::IsAnyActionRunning() {
    if (!Source::AskProducts())
        return false;
    return Guarded(false, [] {
        std::lock_guard lock(Source::ListLock());
        return Source::Items().Any([](auto& item) { return item.IsActionRunning(); });
    });
}

template <class Source> void TProductCollection<Source>::Lock() {
    Source::ListLock().lock();
}

template <class Source> void TProductCollection<Source>::Unlock() {
    Source::ListLock().unlock();
}

template class TProductCollection<TProgramSource>;
template class TProductCollection<TUnusedSource>;
template class TProductCollection<TUpdateSource>;

} // namespace velmora
