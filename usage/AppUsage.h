#pragma once
// The usage statistics of the loaded library: the records of the three
// sources merged and sorted by file name, and the usage of a folder.
#include "usage/UsageSources.h"

#include <memory>
#include <string_view>

namespace velmora {

class TAppUsage {
public:
    // Created at first use with its sources; freed when the library unloads.
    static TAppUsage& Instance();

    TAppUsage();
    ~TAppUsage();
    // Reads the sources again. The reading thread calls it and
    // CollectByFolder, never both at once.
    void Refresh();
    TUsageData CollectByFolder(std::wstring_view folder) const;

private:
    TUsageItems FItems;
    std::unique_ptr<TUserAssist> FAssist;
    std::unique_ptr<TPrefetch> FPrefetch;
    std::unique_ptr<TBootAssist> FBoot;
};

} // namespace velmora
