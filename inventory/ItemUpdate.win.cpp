// Reading an update from its registry keys; its icon, which falls back to
// the icon of the product it belongs to.
#include "inventory/ItemUpdate.h"

#include "frame/DebugLog.h"
#include "frame/IconImageList.h"
#include "inventory/ItemProgram.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/Text.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <variant>

namespace velmora {

namespace {

// The program list's own icons (ratings, default icon) are never copied.
constexpr int32_t FirstProgramIcon = 4;

class TUpdateIconList : public TIconImageList {
public:
    TUpdateIconList() {
        HMODULE module = ThisModule();
        if (IsWindowsVistaOrLater())
            AddIconResources(module, L"ICON_DEF_VISTA_SMALL", L"ICON_DEF_VISTA_LARGE");
        else
            AddIconResources(module, L"ICON_DEF_XP_SMALL", L"ICON_DEF_XP_LARGE");
        FixInitialIcons();
    }
};

std::mutex UpdateIconsLock;
std::unique_ptr<TUpdateIconList> UpdateIcons;

// Display names are user-facing texts: compared as the user's locale does.
bool SameDisplayName(const std::wstring& a, const std::wstring& b) {
    return CompareTextLocale(a, b) == 0;
}

} // namespace

namespace update_os {

// Without the library's images updates keep the default index and no icons
// are loaded; the error is logged.
void CreateIconList() {
    std::lock_guard lock(UpdateIconsLock);
    UpdateIcons.reset();
    try {
        UpdateIcons = std::make_unique<TUpdateIconList>();
    } catch (...) {
        StatisticsLog::AddError();
    }
}

void FreeIconList() {
    std::lock_guard lock(UpdateIconsLock);
    UpdateIcons.reset();
}

void FreeUpdateIcon(int32_t index) {
    if (index <= 0)
        return;
    std::lock_guard lock(UpdateIconsLock);
    if (UpdateIcons)
        UpdateIcons->FreeIconIndex(index);
}

std::wstring RunningWindowsName() {
    return std::wstring(WindowsVersionName(WindowsVersion()));
}

} // namespace update_os

TIconImageList* TItemUpdate::IconList() {
    std::lock_guard lock(UpdateIconsLock);
    return UpdateIcons.get();
}

void TItemUpdate::ReadDetails() {
    ReadRegistryKeys();
}

void TItemUpdate::DoReadSlowInfo() {
    TIconImageList* icons = IconList();
    if (!icons || IconIndex() > 0)
        return;
    std::wstring displayIcon, parent;
    {
        std::lock_guard lock(FCSItem);
        displayIcon = FDisplayIcon;
        parent = FParentDisplayName;
    }
    if (!displayIcon.empty() && LoadIconFromReference(*icons, displayIcon))
        return;

    TIconImageList* programIcons = TItemProgram::IconList();
    if (!programIcons)
        return;
    auto& programs = TItemProgram::Items();
    std::lock_guard lock(programs.Lock());
    for (int index = 0; index < programs.Count(); ++index) {
        auto program = programs.Get(index);
        if (!program)
            continue;
        TInfoValue name = program->GetInfo(piDisplayName);
        auto* text = std::get_if<std::wstring>(&name);
        if (!text || !SameDisplayName(*text, parent))
            continue;
        const int32_t programIcon = program->IconIndex();
        if (programIcon < FirstProgramIcon)
            return;
        const int copied = icons->AddFrom(*programIcons, programIcon);
        if (copied >= 0) {
            const int32_t old = ExchangeIconIndex(copied);
            if (old > 0)
                icons->FreeIconIndex(old);
        }
        return;
    }
}

} // namespace velmora
