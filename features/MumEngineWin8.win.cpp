#include "features/MumEngineWin8.h"

#include "console/PackageManagement.h"
#include "frame/DebugLog.h"
#include "platform/AppPackageManager.h"
#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/LibraryLoader.h"
#include "platform/OSInfo.h"
#include "platform/Thread.h"

namespace velmora {

namespace {

TComPtr<IMetroAppCollection> ComponentAppList() {
    TComPtr<IMetroAppCollection> appList;
    if (!DllRoutines::GetInstance(L"LaunchetHelper.dll", __uuidof(IMetroAppCollection),
                                  reinterpret_cast<void**>(appList.put())))
        DebugLog().WriteLog(TLogLevel::llWarning, L"No app collection: the store apps are not shown");
    return appList;
}

std::wstring PackageNameOf(IFeature* feature) {
    unique_bstr name;
    feature->GetPackageName(name.put());
    return BstrText(name.get());
}

} // namespace

TFeatureIconListWin8::TFeatureIconListWin8() : FMetroAppIndex(AddGroup(L"ICON_FEATURE_APPXS", {})) {}

TMumEngineWin8::TMumEngineWin8() : TMumEngineWin8(ComponentAppList()) {}

TMumEngineWin8::TMumEngineWin8(TComPtr<IMetroAppCollection> appList)
    : TMumEngine(std::make_unique<TFeatureIconListWin8>()), FAppList(std::move(appList)),
      FAppXRoot(new TAppXRootFeature(Icons().MetroAppIndex())),
      FSelf(std::make_shared<TMumEngineWin8*>(this)) {}

TMumEngineWin8::~TMumEngineWin8() {
    FreeThreads();
    FAppXRoot->ClearApps(); // the apps hold the group
}

TFeatureIconListWin8& TMumEngineWin8::Icons() {
    return static_cast<TFeatureIconListWin8&>(IconList());
}

void TMumEngineWin8::ReadFeatures(TThread& thread) {
    for (;;) {
        if (FFullUpdate || !FRefreshOnlyAppxList) {
            FFullUpdate = false;
            FRefreshOnlyAppxList = false;
            TMumEngine::ReadFeatures(thread);
        } else {
            FRefreshOnlyAppxList = false;
            RebuildApps();
            FAppXRoot->SortByName();
            if (!FAppXExists)
                PublishRootWhenFilled();
        }
        if (thread.Terminated() || !(FRefreshOnlyAppxList || FFullUpdate))
            return;
    }
}

void TMumEngineWin8::BuildFeatures() {
    TMumEngine::BuildFeatures();
    RebuildApps();
    PublishRootWhenFilled();
}

void TMumEngineWin8::PublishRootWhenFilled() {
    FAppXExists = FAppXRoot->GetChildCount() > 0;
    if (FAppXExists)
        Features().Add(TComPtr<IFeature>(FAppXRoot.get()));
}

void TMumEngineWin8::RebuildApps() {
    const bool quietRemoval = !IsWindowsPE();
    FAppXRoot->ClearApps();
    if (!FAppList)
        return;
    // The group shows the collection's first load, not the empty collection
    // while that load still runs.
    while (!FAppList->WaitForLoad(50, false))
        TThread::CheckTerminated();
    for (int32_t i = FAppList->GetCount() - 1; i >= 0; --i) {
        TComPtr<IMetroAppItem> app;
        FAppList->GetItem(i, app.put());
        if (!app || !app->IsFeatureListed())
            continue;
        TComPtr<IFeature> feature(
            new TAppXFeature(*app, *FAppXRoot, Icons(), Icons().MetroAppIndex(), FSelf, quietRemoval));
        FAppXRoot->Add(feature.get());
    }
    Icons().FreeUnusedFileIcons();
}

bool TMumEngineWin8::PollChanges() {
    if (FAppXRoot->UpdateCaption())
        Features().Changed();
    if (TMumEngine::PollChanges()) {
        // A read running now may have listed the manifests already: the read
        // loop makes one more full pass.
        FFullUpdate = true;
        return true;
    }
    if (!FAppList)
        return false;
    uint32_t time = FAppList->GetUpdateTime();
    int32_t count = FAppList->GetAppCount();
    if (count == FLastAppCount && (time == FLastUpdateTime || !FAppList->WaitForLoad(0, false)))
        return false;
    FLastUpdateTime = time;
    FLastAppCount = count;
    FRefreshOnlyAppxList = true;
    return true;
}

void TMumEngineWin8::SwitchFeature(IFeature* feature, bool enable, TThread& thread) {
    std::wstring package = PackageNameOf(feature);
    TComPtr<IMetroAppItem> app;
    if (FAppList && !package.empty())
        FAppList->FindItem(package.c_str(), app.put());
    if (!app) {
        TMumEngine::SwitchFeature(feature, enable, thread);
        return;
    }
    try {
        bool done = enable ? RegisterAppPackage(package, &thread) : RemoveAppPackage(package, &thread);
        if (!done)
            DebugLog().WriteLogF(TLogLevel::llWarning, L"%s of %s did not complete",
                                 enable ? L"Registering" : L"Removing", package);
    } catch (...) {
        // The tree follows the collection, which tells what became of the app.
        DebugLog().LogError(TLogLevel::llError, enable ? L"Registering metro App" : L"Removing metro App",
                            std::current_exception());
    }
    FAppList->UpdateItem(package.c_str());
    FRefreshOnlyAppxList = true;
}

bool TMumEngineWin8::StartQuietRemoval(IFeature* app) {
    return StartWorker(app, TInstallState::isUninstalling,
                       [this](IFeature* feature, TThread& thread) { RemoveQuietly(feature, thread); });
}

void TMumEngineWin8::RemoveQuietly(IFeature* app, TThread& thread) {
    DoUninstallFeature(app, thread);
    RunCommand(PackageManagement::GetCommand(TPackageCommand::cmdRemoveProvisionedApp, PackageNameOf(app)),
               thread);
    thread.SleepBy(5000);
    if (FAppList)
        FAppList->Update();
}

} // namespace velmora
