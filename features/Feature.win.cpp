#include "features/Feature.h"

#include "features/FeatureIconList.h"
#include "frame/Boundary.h"
#include "platform/ComText.h"
#include "platform/Handles.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

std::wstring DisplayNameOf(IFeature* feature) {
    unique_bstr name;
    feature->GetDisplayName(name.put());
    return BstrText(name.get());
}

std::wstring NameOf(IFeature* feature) {
    unique_bstr name;
    feature->GetName(name.put());
    return BstrText(name.get());
}

// Negative, zero or positive as the user's locale orders the display names,
// ignoring case.
int CompareFeatures(IFeature* left, IFeature* right) {
    std::wstring a = DisplayNameOf(left), b = DisplayNameOf(right);
    return CompareTextLocale(a, b);
}

} // namespace

void PushChildren(IFeature* feature, std::vector<TComPtr<IFeature>>& stack) {
    feature->Lock();
    for (int32_t i = feature->GetChildCount() - 1; i >= 0; --i) {
        TComPtr<IFeature> child;
        feature->GetChild(i, child.put());
        if (child)
            stack.push_back(std::move(child));
    }
    feature->Unlock();
}

TFeatures::~TFeatures() {
    Unlink(FList);
}

void TFeatures::Unlink(const std::vector<TComPtr<IFeature>>& list) {
    std::vector<TComPtr<IFeature>> stack(list.begin(), list.end());
    while (!stack.empty()) {
        TComPtr<IFeature> feature = std::move(stack.back());
        stack.pop_back();
        PushChildren(feature.get(), stack);
        if (TFeature* child = TFeature::Of(feature.get()))
            child->SetParent(nullptr);
    }
}

void TFeatures::Add(TComPtr<IFeature> feature) {
    DebugLog().WriteLog(TLogLevel::llInfo, L"DLL.Lock:Features.Add");
    {
        std::lock_guard lock(FLock);
        FList.push_back(std::move(feature));
    }
    DebugLog().WriteLog(TLogLevel::llInfo, L"DLL.Unlock:Features.Add");
    Changed();
}

void TFeatures::Clear() {
    DebugLog().WriteLog(TLogLevel::llInfo, L"DLL.Lock:Features.Clear");
    std::vector<TComPtr<IFeature>> old;
    {
        std::lock_guard lock(FLock);
        old.swap(FList);
    }
    DebugLog().WriteLog(TLogLevel::llInfo, L"DLL.UnLock:Features.Clear");
    Unlink(old);
    Changed();
}

int32_t TFeatures::Count() {
    std::lock_guard lock(FLock);
    return static_cast<int32_t>(FList.size());
}

TComPtr<IFeature> TFeatures::Item(int32_t index) {
    std::lock_guard lock(FLock);
    if (index < 0 || static_cast<size_t>(index) >= FList.size())
        return {};
    return FList[index];
}

int32_t TFeatures::TotalCount() {
    std::lock_guard lock(FLock);
    int32_t total = 0;
    for (auto& feature : FList)
        total += 1 + feature->GetTotalCount();
    return total;
}

TComPtr<IFeature> TFeatures::Find(std::wstring_view name) {
    std::lock_guard lock(FLock);
    for (auto& top : FList) {
        std::vector<TComPtr<IFeature>> stack{top};
        while (!stack.empty()) {
            TComPtr<IFeature> feature = std::move(stack.back());
            stack.pop_back();
            if (NameOf(feature.get()) == name)
                return feature;
            PushChildren(feature.get(), stack);
        }
    }
    return {};
}

void TFeatures::SortFeatures() {
    std::lock_guard lock(FLock);
    std::stable_sort(FList.begin(), FList.end(), [](const TComPtr<IFeature>& a, const TComPtr<IFeature>& b) {
        return CompareFeatures(a.get(), b.get()) < 0;
    });
    for (auto& feature : FList)
        feature->SortByName();
}

void TFeatures::Changed() {
    FStateStamp = GetTickCount();
}

TFeature::TFeature(std::wstring name) : FName(std::move(name)) {}

TFeature::~TFeature() = default;

TFeature* TFeature::Of(IFeature* feature) {
    return dynamic_cast<TFeature*>(feature);
}

void TFeature::SetParent(IFeature* parent) {
    TComPtr<IFeature> link(Of(parent) ? parent : nullptr);
    std::lock_guard lock(FParentLock);
    std::swap(FParent, link); // the old parent is released unlocked
}

TComPtr<IFeature> TFeature::Parent() {
    std::lock_guard lock(FParentLock);
    return FParent;
}

void TFeature::GetInfo(int32_t Index, VARIANT* Value) {
    if (!Value)
        return;
    SetVariantNull(Value);
    Guarded([&] {
        switch (static_cast<TProductInfo>(Index)) {
        case piDisplayName:
            SetVariantText(Value, FDisplayName);
            break;
        case piInstallLocation:
            SetVariantText(Value, FInstallLocation);
            break;
        case piInstallDate:
            SetVariantDate(Value, FInstallTime);
            break;
        case piComments:
            SetVariantText(Value, FDescription);
            break;
        case piEstimatedSize:
            SetVariantInt64(Value, FInstallSize);
            break;
        case piSoftwareRating:
            SetVariantInt(Value, static_cast<int32_t>(FTrusted ? TSoftwareRating::stTrustWorthy
                                                               : TSoftwareRating::stUnknown));
            break;
        case piFeatureEnabled:
            SetVariantBool(Value, GetEnabled());
            break;
        case piFeaturePackageName:
            SetVariantText(Value, FPackageName);
            break;
        case piFeatureInstallUser:
            SetVariantText(Value, FInstallUser);
            break;
        case piFeatureName:
            SetVariantText(Value, FName);
            break;
        default:
            break;
        }
    });
}

int32_t TFeature::GetImageIndex() {
    return FImageIndex;
}

TPossibleActionsSet TFeature::GetPossibleActions() {
    return ActionBit(GetEnabled() ? TPossibleActions::paUninstall : TPossibleActions::paInstall);
}

bool TFeature::CheckChanged() {
    return false;
}

bool TFeature::RunAction(TPossibleActions*, HWND* TopWindow) {
    if (TopWindow)
        *TopWindow = nullptr;
    return false;
}

bool TFeature::IsActionRunning() {
    return false;
}

void TFeature::GetForceRemove(IForceRemove** ForceRemove) {
    if (ForceRemove)
        *ForceRemove = nullptr;
}

bool TFeature::IsNotHost() {
    return false;
}

void TFeature::GetRegistryKeys(IVelmoraStrings*) {}

bool TFeature::IsInstallerMaybeCorrupted() {
    return false;
}

void TFeature::GetName(BSTR* Name) {
    Guarded([&] { SetBstr(Name, FName); });
}

void TFeature::GetDisplayName(BSTR* Name) {
    Guarded([&] { SetBstr(Name, FDisplayName); });
}

void TFeature::GetDescription(BSTR* Description) {
    Guarded([&] { SetBstr(Description, FDescription); });
}

bool TFeature::GetEnabled() {
    if (!FCalculateState)
        return FEnabled;
    return Guarded(false, [&] {
        bool any = false;
        for (int32_t i = 0;; ++i) {
            TComPtr<IFeature> child = FFeatures.Item(i);
            if (!child)
                return any;
            if (!child->GetEnabled())
                return false;
            any = true;
        }
    });
}

void TFeature::GetParent(IFeature** Parent) {
    if (Parent)
        *Parent = this->Parent().Detach();
}

int32_t TFeature::GetChildCount() {
    return FFeatures.Count();
}

void TFeature::GetChild(int32_t Index, IFeature** Child) {
    if (!Child)
        return;
    *Child = FFeatures.Item(Index).Detach();
}

void TFeature::GetInstallClient(BSTR* Client) {
    Guarded([&] { SetBstr(Client, FInstallClient); });
}

void TFeature::GetInstallLocation(BSTR* Location) {
    Guarded([&] { SetBstr(Location, FInstallLocation); });
}

void TFeature::GetPackageName(BSTR* Name) {
    Guarded([&] { SetBstr(Name, FPackageName); });
}

double TFeature::GetInstallTime() {
    return FInstallTime;
}

void TFeature::GetInstallUser(BSTR* User) {
    Guarded([&] { SetBstr(User, FInstallUser); });
}

bool TFeature::GetSelfUpdate() {
    return FSelfUpdate;
}

bool TFeature::GetTrusted() {
    return FTrusted;
}

int32_t TFeature::GetFeatureImageIndex() {
    return FImageIndex;
}

int64_t TFeature::GetInstallSize() {
    return FInstallSize;
}

int32_t TFeature::GetTotalCount() {
    return Guarded(0, [&] { return FFeatures.TotalCount(); });
}

int32_t TFeature::GetRatingImageIndex() {
    return FTrusted ? TFeatureIconList::TrustedIcon : TFeatureIconList::UnknownIcon;
}

int32_t TFeature::GetStateImageIndex() {
    return GetEnabled() ? TFeatureIconList::EnabledIcon : TFeatureIconList::DisabledIcon;
}

void TFeature::Lock() {
    FFeatures.Lock();
}

void TFeature::Unlock() {
    FFeatures.Unlock();
}

void TFeature::Find(LPCWSTR Name, IFeature** Feature) {
    if (!Feature)
        return;
    *Feature = nullptr;
    Guarded([&] {
        if (Name)
            *Feature = FFeatures.Find(Name).Detach();
    });
}

void TFeature::SortByName() {
    Guarded([&] { FFeatures.SortFeatures(); });
}

void TFeature::Add(IFeature* Feature) {
    Guarded([&] {
        if (Feature)
            FFeatures.Add(TComPtr<IFeature>(Feature));
    });
}

void TFeature::GetParentRoot(IFeature** Root) {
    if (!Root)
        return;
    TComPtr<IFeature> root(this);
    while (TComPtr<IFeature> parent = Of(root.get())->Parent())
        root = std::move(parent);
    *Root = root.Detach();
}

bool TFeature::IsParent(IFeature* Feature) {
    TFeature* wanted = Of(Feature);
    if (!wanted)
        return false;
    for (TComPtr<IFeature> parent = Parent(); parent; parent = Of(parent.get())->Parent())
        if (Of(parent.get()) == wanted)
            return true;
    return false;
}

} // namespace velmora
