#pragma once
// A store app listed as a program. Everything it shows comes from its entry
// in the startup component's app collection; it has no registry keys. Its one
// action, the uninstall, removes the app package on a thread of its own.
#include "api/Interfaces.Launchet.h"
#include "inventory/ItemProgram.h"
#include "platform/ComObject.h"

#include <string>

namespace velmora {

class TLocationUninstallAppX;

// A text result of one of the entry's methods (empty when it gives none).
std::wstring AppText(IMetroAppItem& app, void (STDMETHODCALLTYPE IMetroAppItem::*method)(BSTR*));

class TItemAppXProgram : public TItemProgram {
public:
    TItemAppXProgram(TLocationUninstallAppX* location, const std::wstring& packageFullName,
                     const std::wstring& displayName, TComPtr<IMetroAppItem> app,
                     const std::wstring& appPath);
    // Ends a running uninstall first: its thread uses the entry.
    ~TItemAppXProgram() override;

    // The collection found the app again: the item shows the new entry.
    void SetApp(TComPtr<IMetroAppItem> app);

    // paUninstall only, and one at a time: false while an uninstall runs.
    bool RunAction(TPossibleActions& action, void*& topWindow) override;
    bool IsActionRunning() override;

protected:
    void ReadFastData() override;
    // A re-read after a change in the install folder takes everything from
    // the entry again.
    void ClearFastData() override;
    void DoReadExtendedInfo() override;
    void DoReadImages() override;
    // Store apps are trustworthy; the reputation component is not asked.
    void ReadSoftwareRating(TItemFolder* itemExe) override;
    void ReadUsage(const std::wstring& folder) override;

private:
    TComPtr<IMetroAppItem> App();

    TLocationUninstallAppX* FAppLocation;
    std::wstring FPackageFullName;
    std::wstring FPackageFamilyName;
    // Replaced at every re-read; guarded by the item lock.
    TComPtr<IMetroAppItem> FApp;
    std::wstring FAppPath;
};

} // namespace velmora
