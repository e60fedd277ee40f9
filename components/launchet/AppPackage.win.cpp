#include "components/launchet/AppPackage.h"

#include "components/launchet/AppLogo.h"
#include "components/launchet/ResourceText.h"
#include "platform/PackageIdentity.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

namespace velmora::launchet {

namespace {

// Manifests of Windows 8, 8.1 and 10 put some elements in their own
// namespaces ("m2:VisualElements", "uap:VisualElements"): match the local name.
TXmlElement ChildNamed(const TXmlElement& parent, std::wstring_view localName) {
    if (parent)
        for (auto& child : parent.Children())
            if (child.LocalName() == localName)
                return child;
    return {};
}

std::wstring ChildText(const TXmlElement& parent, std::wstring_view localName) {
    TXmlElement child = ChildNamed(parent, localName);
    return child ? std::wstring(Trim(child.Text())) : std::wstring();
}

bool IsTrue(const std::wstring& text) {
    return SameText(text, L"true") || text == L"1";
}

} // namespace

std::optional<TAppPackage> ReadAppPackage(const std::wstring& rootFolder) {
    const std::wstring manifestFile = rootFolder + L"\\AppxManifest.xml";
    if (!FileExists(manifestFile))
        return std::nullopt;
    TXmlElement manifest = TXmlDocument::LoadElement(manifestFile);
    TXmlElement identity = ChildNamed(manifest, L"Identity");
    if (!identity)
        return std::nullopt;

    TAppPackage package;
    package.Name = identity.Attribute(L"Name").value_or(L"");
    package.Publisher = identity.Attribute(L"Publisher").value_or(L"");
    package.Version = identity.Attribute(L"Version").value_or(L"");
    // A manifest without an architecture describes a neutral package.
    package.Architecture = LowerCase(identity.Attribute(L"ProcessorArchitecture").value_or(L"neutral"));
    package.ResourceId = identity.Attribute(L"ResourceId").value_or(L"");
    if (package.Name.empty() || package.Publisher.empty())
        return std::nullopt;
    const TPackageIdentity id{package.Name, package.Publisher, package.Version, package.Architecture,
                              package.ResourceId};
    package.FullName = PackageFullName(id);
    package.FamilyName = PackageFamilyName(id);

    TXmlElement properties = ChildNamed(manifest, L"Properties");
    package.DisplayNameResource = ChildText(properties, L"DisplayName");
    package.PublisherDisplayNameResource = ChildText(properties, L"PublisherDisplayName");
    package.DescriptionResource = ChildText(properties, L"Description");
    package.Framework = IsTrue(ChildText(properties, L"Framework"));
    package.ResourcePackage = IsTrue(ChildText(properties, L"ResourcePackage"));
    package.InstallPath = rootFolder;
    package.Logo = FindLogo(rootFolder, ChildText(properties, L"Logo"));

    TXmlElement applications = ChildNamed(manifest, L"Applications");
    for (auto& application : applications ? applications.Children() : std::vector<TXmlElement>()) {
        if (application.LocalName() != L"Application")
            continue;
        package.HasApplications = true;
        if (!package.AppIds.empty())
            package.AppIds += L";";
        package.AppIds += application.Attribute(L"Id").value_or(L"");
        TXmlElement visual = ChildNamed(application, L"VisualElements");
        if (!SameText(visual ? visual.Attribute(L"AppListEntry").value_or(L"") : L"", L"none"))
            package.Listed = true;
    }

    package.DisplayName = ResourceText(package.FullName, package.Name, package.DisplayNameResource);
    if (package.DisplayName.empty())
        package.DisplayName = package.Name;
    return package;
}

} // namespace velmora::launchet
