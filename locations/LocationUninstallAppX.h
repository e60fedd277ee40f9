#pragma once
// The store apps (Windows 8 and later), as the startup component's app
// collection lists them. The collection loads the installed apps in the
// background; the location publishes its entries as program items by mark
// and sweep, and notices a change by the collection's count and update time.
#include "api/Interfaces.Launchet.h"
#include "inventory/LocationUninstall.h"
#include "platform/ComObject.h"

#include <cstdint>

namespace velmora {

class TLocationUninstallAppX : public TLocationUninstall {
public:
    // Asks LaunchetHelper.dll for its app collection; throws when the
    // component or the collection cannot be had.
    TLocationUninstallAppX();
    explicit TLocationUninstallAppX(TComPtr<IMetroAppCollection> appList);

    // Publishes the entries that belong in the program list: listed apps
    // that are neither framework nor resource packages, have a package full
    // name and are not installed inside the Windows folder.
    void Read() override;
    // Returns once the collection has loaded, reading every change seen
    // meanwhile.
    void ReadPrograms() override;
    // Another count, or another update time once no load is pending. The
    // count starts at 0, so the first poll after a non-empty read answers true.
    bool IsChanged() override;

    const TComPtr<IMetroAppCollection>& AppList() const { return FAppList; }

    // The step in which the first read waits for the collection's load.
    static constexpr uint32_t LoadWaitMs = 400;

private:
    TComPtr<IMetroAppCollection> FAppList;
    uint32_t FLastUpdateTime = 0;
    int32_t FLastAppCount = 0;
};

} // namespace velmora
