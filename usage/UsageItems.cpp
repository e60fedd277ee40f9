#include "usage/UsageItems.h"

#include "platform/Text.h"

#include <algorithm>
#include <limits>

namespace velmora {

int32_t AddCounts(int32_t sum, int32_t count) {
    const int64_t total = int64_t{std::max(sum, 0)} + std::max(count, 0);
    return static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
}

double UsageDate(uint64_t fileTime, int32_t biasMinutes) {
    if (fileTime == 0)
        return 0;
    // 100 ns ticks since 1601-01-01; OLE dates count days since 1899-12-30.
    constexpr double TicksPerDay = 864000000000.0;
    constexpr double DaysFrom1601To1899 = 109205.0;
    constexpr double MinutesPerDay = 1440.0;
    return static_cast<double>(fileTime) / TicksPerDay - DaysFrom1601To1899 - biasMinutes / MinutesPerDay;
}

void TUsageItem::Merge(const TUsageItem& other) {
    FCounter = AddCounts(FCounter, other.FCounter);
    FFocusCounter = AddCounts(FFocusCounter, other.FFocusCounter);
    FFocusTime = AddCounts(FFocusTime, other.FFocusTime);
    if (other.FLastUsed > FLastUsed)
        FLastUsed = other.FLastUsed;
}

TUsageItem& TUsageItems::Add() {
    return *FList.emplace_back(std::make_unique<TUsageItem>());
}

void TUsageItems::Clear() {
    FList.clear();
}

void TUsageItems::Remove(size_t index) {
    FList.erase(FList.begin() + static_cast<std::ptrdiff_t>(index));
}

TUsageItem& TUsageItems::CopyItem(const TUsageItem& item) {
    TUsageItem& copy = Add();
    copy.FFileName = item.FFileName;
    copy.FCounter = item.FCounter;
    copy.FFocusCounter = item.FFocusCounter;
    copy.FFocusTime = item.FFocusTime;
    copy.FLastUsed = item.FLastUsed;
    return copy;
}

TUsageItem* TUsageItems::Find(std::wstring_view name) {
    for (auto& item : FList)
        if (CompareTextLocale(item->FFileName, name) == 0)
            return item.get();
    return nullptr;
}

bool TUsageItems::FindBinary(std::wstring_view name, size_t& index, const TUsageCompare& compare) const {
    bool found = false;
    ptrdiff_t low = 0, high = static_cast<ptrdiff_t>(FList.size()) - 1;
    while (low <= high) {
        ptrdiff_t mid = low + (high - low) / 2;
        int order = compare(FList[static_cast<size_t>(mid)]->FFileName, name);
        if (order >= 0) {
            high = mid - 1;
            if (order == 0)
                found = true;
        } else {
            low = mid + 1;
        }
    }
    index = static_cast<size_t>(low);
    return found;
}

void TUsageItems::Merge(const TUsageItems& other) {
    for (const auto& item : other.FList) {
        if (TUsageItem* own = Find(item->FFileName))
            own->Merge(*item);
        else
            CopyItem(*item);
    }
}

void TUsageItems::ProcessLinks(const TShortcutTarget& target) {
    for (size_t i = FList.size(); i-- > 0;) {
        TUsageItem& link = *FList[i];
        if (!EndsWithText(link.FFileName, L".lnk"))
            continue;
        std::wstring path = target(link.FFileName);
        if (path.empty())
            continue;
        if (TUsageItem* existing = Find(path); existing && existing != &link) {
            existing->Merge(link);
            Remove(i);
        } else {
            link.FFileName = path;
        }
    }
}

void TUsageItems::Sort(const TUsageCompare& compare) {
    std::stable_sort(FList.begin(), FList.end(),
                     [&](const auto& a, const auto& b) { return compare(a->FFileName, b->FFileName) < 0; });
}

TUsageData TUsageItems::CollectByFolder(std::wstring_view folder) const {
    TUsageData data{0, 0};
    size_t index;
    FindBinary(folder, index, CompareTextLocale);
    bool matched = false;
    for (; index < FList.size() && StartsWithText(FList[index]->FFileName, folder); ++index) {
        const TUsageItem& item = *FList[index];
        data.Counter = AddCounts(data.Counter, item.FCounter);
        if (item.FLastUsed > data.LastUsed)
            data.LastUsed = item.FLastUsed;
        matched = true;
    }
    if (!matched)
        data.Counter = -1;
    return data;
}

} // namespace velmora
