#pragma once
// One installed app package as read from its manifest: a plain value that
// the collection's entries show unchanged.
#include <optional>
#include <string>

namespace velmora::launchet {

struct TAppPackage {
    std::wstring Name;
    std::wstring FullName;
    std::wstring FamilyName;
    std::wstring Publisher;
    std::wstring Version;
    std::wstring Architecture;
    std::wstring ResourceId;
    // The manifest's texts as written (plain text or "ms-resource:...").
    std::wstring DisplayNameResource;
    std::wstring PublisherDisplayNameResource;
    std::wstring DescriptionResource;
    // The display name as text.
    std::wstring DisplayName;
    std::wstring InstallPath;
    std::wstring Logo;
    std::wstring AppIds; // separated by ";"
    bool Framework = false;
    bool ResourcePackage = false;
    bool HasApplications = false;
    // An application shown in the start menu's app list.
    bool Listed = false;
    bool Provisioned = false;

    bool operator==(const TAppPackage&) const = default;
};

// The package whose root folder this is, from its AppxManifest.xml; nothing
// when the manifest is missing or has no identity. Provisioned is left
// false. The caller is in a COM apartment.
std::optional<TAppPackage> ReadAppPackage(const std::wstring& rootFolder);

} // namespace velmora::launchet
