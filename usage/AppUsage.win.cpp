#include "usage/AppUsage.h"

#include "platform/LibraryGlobal.h"
#include "platform/Text.h"

namespace velmora {

TAppUsage& TAppUsage::Instance() {
    static TLibraryGlobal<TAppUsage> usage;
    return *usage;
}

TAppUsage::TAppUsage()
    : FAssist(std::make_unique<TUserAssist>()), FPrefetch(std::make_unique<TPrefetch>()),
      FBoot(std::make_unique<TBootAssist>()) {}

TAppUsage::~TAppUsage() = default;

void TAppUsage::Refresh() {
    FItems.Clear();
    FAssist->Fill(FItems);
    TUsageItems sourceItems;
    FPrefetch->Fill(sourceItems);
    FItems.Merge(sourceItems);
    sourceItems.Clear();
    FBoot->Fill(sourceItems);
    FItems.Merge(sourceItems);
    FItems.Sort(CompareTextLocale);
}

TUsageData TAppUsage::CollectByFolder(std::wstring_view folder) const {
    return FItems.CollectByFolder(folder);
}

} // namespace velmora
