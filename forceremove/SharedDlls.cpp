#include "forceremove/SharedDlls.h"

#include "forceremove/RemoveStrategy.h"
#include "frame/DebugLog.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

TFRSharedDlls::TFRSharedDlls(std::unique_ptr<TSharedDllCounts> counts) : FCounts(std::move(counts)) {
    Reset();
}

void TFRSharedDlls::Reset() {
    FList.clear();
    FSelected.clear();
    for (const auto& path : FCounts->Paths())
        FList.insert(UpperCase(path));
}

bool TFRSharedDlls::CanDelete(std::wstring_view path) {
    if (!FList.contains(UpperCase(path)))
        return true;
    std::wstring selected(path);
    if (std::none_of(FSelected.begin(), FSelected.end(), [&](const auto& s) { return SameText(s, path); }))
        FSelected.push_back(selected);
    return CountOf(selected) < 2;
}

void TFRSharedDlls::Recalculate(IRemoveStrategy& strategy) {
    const std::wstring key(KeyPath);
    for (const auto& path : FSelected) {
        try {
            int64_t count = CountOf(path);
            if (count < 2)
                strategy.RemoveValue(TRegRoot::LocalMachine, key, path);
            else
                strategy.WriteValue(TRegRoot::LocalMachine, key, static_cast<uint32_t>(count - 1), path);
        } catch (...) {
            StatisticsLog::AddError();
        }
    }
}

int64_t TFRSharedDlls::CountOf(const std::wstring& path) const {
    return FCounts->Count(path).value_or(-1);
}

} // namespace velmora
