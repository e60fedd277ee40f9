#include "components/launchet/AppEntry.h"

#include "components/launchet/AppLoader.h"
#include "components/Boundary.h"
#include "components/launchet/ResourceText.h"
#include "platform/ComText.h"

namespace velmora::launchet {

using components::Guarded;

bool IsResourcePart(const TAppPackage& package) {
    return package.ResourcePackage || (!package.ResourceId.empty() && !package.HasApplications);
}

bool IsFeatureApp(const TAppPackage& package) {
    return !package.Framework && !IsResourcePart(package) && package.HasApplications;
}

TAppEntry::TAppEntry(TAppPackage package, std::weak_ptr<TAppLoader> loader)
    : FPackage(std::move(package)), FLoader(std::move(loader)) {}

void TAppEntry::Answer(BSTR* Value, const std::wstring& text) {
    Guarded([&] { SetBstr(Value, text); });
}

void TAppEntry::GetPackageFullName(BSTR* Value) {
    Answer(Value, FPackage.FullName);
}
void TAppEntry::GetPackageFamilyName(BSTR* Value) {
    Answer(Value, FPackage.FamilyName);
}
void TAppEntry::GetDisplayName(BSTR* Value) {
    Answer(Value, FPackage.DisplayName);
}
void TAppEntry::GetDisplayNameResource(BSTR* Value) {
    Answer(Value, FPackage.DisplayNameResource);
}
void TAppEntry::GetDescriptionResource(BSTR* Value) {
    Answer(Value, FPackage.DescriptionResource);
}
void TAppEntry::GetPublisher(BSTR* Value) {
    Answer(Value, FPackage.Publisher);
}
void TAppEntry::GetPublisherResource(BSTR* Value) {
    Answer(Value, FPackage.PublisherDisplayNameResource);
}
void TAppEntry::GetInstallPath(BSTR* Value) {
    Answer(Value, FPackage.InstallPath);
}
void TAppEntry::GetVersion(BSTR* Value) {
    Answer(Value, FPackage.Version);
}
void TAppEntry::GetArchitecture(BSTR* Value) {
    Answer(Value, FPackage.Architecture);
}
void TAppEntry::GetLogo(BSTR* Value) {
    Answer(Value, FPackage.Logo);
}
void TAppEntry::GetAppIds(BSTR* Value) {
    Answer(Value, FPackage.AppIds);
}
bool TAppEntry::IsExcluded1() {
    return FPackage.Framework;
}
bool TAppEntry::IsExcluded2() {
    return IsResourcePart(FPackage);
}
bool TAppEntry::IsListed() {
    return FPackage.Listed;
}
bool TAppEntry::IsFeatureListed() {
    return IsFeatureApp(FPackage);
}
bool TAppEntry::IsProvisioned() {
    return FPackage.Provisioned;
}

void TAppEntry::LoadResourceString(LPCWSTR Reference, BSTR* Value) {
    Guarded([&] {
        SetBstr(Value,
                Reference ? ResourceText(FPackage.FullName, FPackage.Name, Reference) : std::wstring());
    });
}

void TAppEntry::NotifyRemoved() {
    Guarded([&] {
        if (auto loader = FLoader.lock())
            loader->RequestPackage(FPackage.FullName);
    });
}

} // namespace velmora::launchet
