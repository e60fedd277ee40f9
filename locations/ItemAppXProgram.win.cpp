#include "locations/ItemAppXProgram.h"

#include "frame/DebugLog.h"
#include "frame/IconImageList.h"
#include "locations/LocationUninstallAppX.h"
#include "platform/AppPackageManager.h"
#include "platform/ComText.h"
#include "platform/Files.h"
#include "platform/Handles.h"
#include "platform/PathText.h"
#include "platform/Registry.h"
#include "platform/Thread.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace velmora {

namespace {

// The removal of one app package, then the word to the component: the entry
// checks its package again and the collection reloads, so that the location
// notices the change at its next poll.
class TRemoveAppThread : public TThread {
public:
    TRemoveAppThread(std::wstring packageFullName, TComPtr<IMetroAppItem> app,
                     TComPtr<IMetroAppCollection> appList)
        : FPackageFullName(std::move(packageFullName)), FApp(std::move(app)), FAppList(std::move(appList)) {}
    ~TRemoveAppThread() override { TerminateAndWait(); }

protected:
    void Execute() override {
        try {
            RemoveAppPackage(FPackageFullName, this);
        } catch (...) {
            DebugLog().LogError(TLogLevel::llError, L"Removing metro App", std::current_exception());
        }
        FApp->NotifyRemoved();
        if (FAppList)
            FAppList->Update();
    }

private:
    const std::wstring FPackageFullName;
    const TComPtr<IMetroAppItem> FApp;
    const TComPtr<IMetroAppCollection> FAppList;
};

// A file's or folder's creation time as a local OLE date.
std::optional<double> CreationDate(const std::wstring& path) {
    for (const TFindData& found : FindFiles(path))
        return FileTimeToLocalDate(found.ftCreationTime);
    return std::nullopt;
}

constexpr wchar_t SignatureFile[] = L"AppxSignature.p7x";

} // namespace

std::wstring AppText(IMetroAppItem& app, void (STDMETHODCALLTYPE IMetroAppItem::*method)(BSTR*)) {
    BSTR value = nullptr;
    (app.*method)(&value);
    unique_bstr owned(value);
    return BstrText(value);
}

TItemAppXProgram::TItemAppXProgram(TLocationUninstallAppX* location, const std::wstring& packageFullName,
                                   const std::wstring& displayName, TComPtr<IMetroAppItem> app,
                                   const std::wstring& appPath)
    : TItemProgram(location), FAppLocation(location), FApp(std::move(app)), FAppPath(appPath) {
    FGUID = packageFullName;
    FDisplayNameNative = displayName;
}

TItemAppXProgram::~TItemAppXProgram() {
    StopActionThread();
}

TComPtr<IMetroAppItem> TItemAppXProgram::App() {
    std::lock_guard lock(FCSItem);
    return FApp;
}

void TItemAppXProgram::SetApp(TComPtr<IMetroAppItem> app) {
    std::lock_guard lock(FCSItem);
    FApp = std::move(app);
}

void TItemAppXProgram::ClearFastData() {
    TItemProgram::ClearFastData();
    FPackageFullName.clear();
    FPackageFamilyName.clear();
}

void TItemAppXProgram::ReadFastData() {
    if (!FApp)
        return;
    if (FPackageFullName.empty()) {
        auto resource = [&](void (STDMETHODCALLTYPE IMetroAppItem::*method)(BSTR*)) {
            BSTR text = nullptr;
            FApp->LoadResourceString(AppText(*FApp, method).c_str(), &text);
            unique_bstr owned(text);
            return BstrText(text);
        };
        FPackageFamilyName = AppText(*FApp, &IMetroAppItem::GetPackageFamilyName);
        FPackageFullName = AppText(*FApp, &IMetroAppItem::GetPackageFullName);
        FDisplayName = resource(&IMetroAppItem::GetDisplayNameResource);
        FPublisher = resource(&IMetroAppItem::GetPublisherResource);
        FProductID = FPackageFullName;
        FDisplayVersion = AppText(*FApp, &IMetroAppItem::GetVersion);
        FComments = resource(&IMetroAppItem::GetDescriptionResource);
    }
    // The collection reports no install time: the package's folder is made
    // when the package is installed, its signature file with it.
    if (!FAppPath.empty()) {
        const std::wstring folder = ExcludeTrailingBackslash(FAppPath);
        auto created = CreationDate(folder);
        if (!created)
            created = CreationDate(IncludeTrailingBackslash(folder) + SignatureFile);
        FInstallDate = created.value_or(0);
    }
    FPossibleActions = ActionBit(TPossibleActions::paUninstall);
}

void TItemAppXProgram::DoReadExtendedInfo() {
    TComPtr<IMetroAppItem> app = App();
    if (!app)
        return;
    const std::wstring path = AppText(*app, &IMetroAppItem::GetInstallPath);
    std::lock_guard listLock(Items().Lock());
    std::lock_guard itemLock(FCSItem);
    FInstallLocation = path;
}

void TItemAppXProgram::DoReadImages() {
    TIconImageList* icons = IconList();
    TComPtr<IMetroAppItem> app = App();
    if (!icons || !app || IconIndex() >= FirstProgramIcon)
        return;
    const std::wstring logo = AppText(*app, &IMetroAppItem::GetLogo);
    if (logo.empty())
        return;
    const int index = icons->AddPngImage(logo);
    if (index < 0)
        return;
    const int32_t old = ExchangeIconIndex(index);
    if (old >= 0)
        icons->FreeIconIndex(old);
}

void TItemAppXProgram::ReadSoftwareRating(TItemFolder*) {
    std::lock_guard lock(FCSItem);
    FSoftwareRating = TSoftwareRating::stTrustWorthy;
}

void TItemAppXProgram::ReadUsage(const std::wstring& folder) {
    std::wstring appPath, familyName;
    {
        std::lock_guard lock(FCSItem);
        appPath = FAppPath;
        familyName = FPackageFamilyName;
    }
    // The signature file is rewritten when the package is updated.
    if (!appPath.empty()) {
        if (auto signedDate = CreationDate(IncludeTrailingBackslash(appPath) + SignatureFile)) {
            std::lock_guard lock(FCSItem);
            FLastUsedDate = std::max(FLastUsedDate, *signedDate);
        }
    }
    TItemProgram::ReadUsage(folder);
    bool noUsage;
    {
        std::lock_guard lock(FCSItem);
        noUsage = FUsedFrequencyCount < 0;
    }
    // The shell counts an app's starts under its application user model id.
    if (noUsage)
        TItemProgram::ReadUsage(familyName + L"!");
}

bool TItemAppXProgram::RunAction(TPossibleActions& action, void*&) {
    TComPtr<IMetroAppItem> app = App();
    if (!app || action != TPossibleActions::paUninstall)
        return false;
    std::wstring packageFullName;
    {
        std::lock_guard lock(FCSItem);
        packageFullName = FPackageFullName;
    }
    // The finished thread of an earlier uninstall is freed outside the lock.
    std::unique_ptr<TThread> finished;
    {
        std::lock_guard lock(FActionThreadCS);
        if (FActionThread && !FActionThread->Finished())
            return false;
        auto thread = std::make_unique<TRemoveAppThread>(packageFullName, app, FAppLocation->AppList());
        thread->Start();
        finished = std::exchange(FActionThread, std::move(thread));
    }
    return true;
}

bool TItemAppXProgram::IsActionRunning() {
    std::lock_guard lock(FActionThreadCS);
    return FActionThread && !FActionThread->Finished();
}

} // namespace velmora
