#include "features/AppXFeature.h"

#include "features/FeatureIconList.h"
#include "features/MumEngineWin8.h"
#include "frame/Boundary.h"
#include "frame/StringsLocalized.h"
#include "platform/ComText.h"
#include "platform/Handles.h"

namespace velmora {

namespace {

template <class Get> std::wstring TextOf(Get get) {
    unique_bstr text;
    get(text.put());
    return BstrText(text.get());
}

std::wstring ResourceText(IMetroAppItem& app, const std::wstring& reference) {
    return TextOf([&](BSTR* text) { app.LoadResourceString(reference.c_str(), text); });
}

} // namespace

// --- root ----------------------------------------------------------------------------------------------

// "AppX" names the group for searches; the caption is the localized text.
TAppXRootFeature::TAppXRootFeature(int32_t imageIndex) : TFeature(L"AppX") {
    FDisplayName = DLLStringsLocalized::MetroApp();
    FEnabled = true;
    FTrusted = true;
    FImageIndex = imageIndex;
}

void TAppXRootFeature::ClearApps() {
    Children().Lock();
    for (int32_t i = 0, n = Children().Count(); i < n; ++i)
        if (TFeature* app = Of(Children().Item(i).get()))
            app->SetParent(nullptr); // an app kept by a caller must not point at the group any more
    Children().Clear();
    Children().Unlock();
}

bool TAppXRootFeature::UpdateCaption() {
    std::wstring caption = DLLStringsLocalized::MetroApp();
    std::lock_guard lock(FCaptionLock);
    if (caption == FDisplayName)
        return false;
    FDisplayName = std::move(caption);
    return true;
}

void TAppXRootFeature::GetInfo(int32_t Index, VARIANT* Value) {
    std::lock_guard lock(FCaptionLock);
    TFeature::GetInfo(Index, Value);
}

void TAppXRootFeature::GetDisplayName(BSTR* Name) {
    std::lock_guard lock(FCaptionLock);
    TFeature::GetDisplayName(Name);
}

TPossibleActionsSet TAppXRootFeature::GetPossibleActions() {
    return 0;
}

// --- app -----------------------------------------------------------------------------------------------

TAppXFeature::TAppXFeature(IMetroAppItem& app, TAppXRootFeature& root, TFeatureIconList& icons,
                           int32_t appIcon, std::weak_ptr<TMumEngineWin8*> engine, bool quietRemoval)
    : TFeature(TextOf([&](BSTR* text) { app.GetDisplayName(text); })), FEngine(std::move(engine)),
      FQuietRemoval(quietRemoval) {
    FDisplayName = ResourceText(app, TextOf([&](BSTR* text) { app.GetDisplayNameResource(text); }));
    FDescription = ResourceText(app, TextOf([&](BSTR* text) { app.GetDescriptionResource(text); }));
    FEnabled = app.IsListed();
    FInstallLocation = TextOf([&](BSTR* text) { app.GetInstallPath(text); });
    FPackageName = TextOf([&](BSTR* text) { app.GetPackageFullName(text); });
    FTrusted = true;
    FSelfUpdate = true;
    std::wstring logo = TextOf([&](BSTR* text) { app.GetLogo(text); });
    int32_t icon = logo.empty() ? -1 : icons.GetByFile(logo);
    FImageIndex = icon >= 0 ? icon : appIcon;
    SetParent(&root);
}

TPossibleActionsSet TAppXFeature::GetPossibleActions() {
    TPossibleActionsSet actions = TFeature::GetPossibleActions();
    if (FQuietRemoval)
        actions |= ActionBit(TPossibleActions::paUninstallQuiet);
    return actions;
}

bool TAppXFeature::RunAction(TPossibleActions* Action, HWND* TopWindow) {
    if (TopWindow)
        *TopWindow = nullptr;
    return Guarded(false, [&] {
        if (!FQuietRemoval || !Action || *Action != TPossibleActions::paUninstallQuiet)
            return false;
        std::shared_ptr<TMumEngineWin8*> engine = FEngine.lock();
        return engine && (*engine)->StartQuietRemoval(this);
    });
}

} // namespace velmora
