#include "locations/LocationUninstallAppX.h"

#include "inventory/ItemProgram.h"
#include "locations/ItemAppXProgram.h"
#include "platform/LibraryLoader.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace velmora {

namespace {

TComPtr<IMetroAppCollection> ComponentAppList() {
    TComPtr<IMetroAppCollection> appList;
    if (!DllRoutines::GetInstance(L"LaunchetHelper.dll", __uuidof(IMetroAppCollection),
                                  reinterpret_cast<void**>(appList.put())) ||
        !appList)
        throw std::runtime_error("LaunchetHelper.dll offers no app collection");
    return appList;
}

} // namespace

TLocationUninstallAppX::TLocationUninstallAppX() : TLocationUninstallAppX(ComponentAppList()) {}

TLocationUninstallAppX::TLocationUninstallAppX(TComPtr<IMetroAppCollection> appList)
    : FAppList(std::move(appList)) {
    if (!FAppList)
        throw std::invalid_argument("no app collection");
    FLastUpdateTime = FAppList->GetUpdateTime();
}

void TLocationUninstallAppX::Read() {
    const std::wstring winDir = IncludeTrailingBackslash(WindowsFolder());
    TItemProgram::MarkAllFrom(this);
    for (int32_t index = FAppList->GetCount() - 1; index >= 0; --index) {
        CheckTerminated();
        TComPtr<IMetroAppItem> entry;
        FAppList->GetItem(index, entry.put());
        if (!entry || entry->IsExcluded1() || entry->IsExcluded2() || !entry->IsListed())
            continue;
        const std::wstring path = AppText(*entry, &IMetroAppItem::GetInstallPath);
        if (StartsWithText(path, winDir))
            continue;
        const std::wstring name = AppText(*entry, &IMetroAppItem::GetDisplayName);
        const std::wstring fullName = AppText(*entry, &IMetroAppItem::GetPackageFullName);
        if (fullName.empty())
            continue;
        // Only this location makes items that name it.
        if (auto found = TItemProgram::ItemByGUIDName(fullName, name, this)) {
            found->SetMarked(false);
            static_cast<TItemAppXProgram&>(*found).SetApp(entry);
            continue;
        }
        auto item = std::make_shared<TItemAppXProgram>(this, fullName, name, entry, path);
        item->ReadFastInfo();
        std::lock_guard lock(TItemProgram::Items().Lock());
        TItemProgram::Items().Add(std::move(item));
    }
    TItemProgram::RemoveMarked(this);
}

void TLocationUninstallAppX::ReadPrograms() {
    // A collection that has loaded already may hold an old list.
    if (FAppList->WaitForLoad(0, false))
        FAppList->Update();
    Read();
    bool done;
    do {
        done = FAppList->WaitForLoad(LoadWaitMs, true);
        CheckTerminated();
        if (IsChanged())
            Read();
    } while (!done);
}

bool TLocationUninstallAppX::IsChanged() {
    const uint32_t time = FAppList->GetUpdateTime();
    const int32_t count = FAppList->GetCount();
    if (count == FLastAppCount) {
        if (time == FLastUpdateTime)
            return false;
        // The same count from a load still running: wait for its end.
        if (!FAppList->WaitForLoad(0, true))
            return false;
    }
    FLastUpdateTime = time;
    FLastAppCount = count;
    return true;
}

} // namespace velmora
