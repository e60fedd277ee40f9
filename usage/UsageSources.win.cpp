#include "usage/UsageSources.h"

#include "platform/Shortcut.h"

#include <windows.h>

namespace velmora {

double UsageFileTimeToDate(uint64_t fileTime) {
    TIME_ZONE_INFORMATION zone;
    const int32_t bias = GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID ? 0 : zone.Bias;
    return UsageDate(fileTime, bias);
}

void ProcessShortcutRecords(TUsageItems& items) {
    items.ProcessLinks([](const std::wstring& link) { return TLnkFileInfo(link).ExpandedTargetPath(); });
}

} // namespace velmora
