#pragma once
// The names Windows derives from an app package's identity: the publisher id
// (13 characters from the publisher's hash), the family name
// "Name_PublisherId" and the full name
// "Name_Version_Architecture_ResourceId_PublisherId".
#include <string>
#include <string_view>

namespace velmora {

struct TPackageIdentity {
    std::wstring Name;
    std::wstring Publisher;    // "CN=..."
    std::wstring Version;      // "a.b.c.d"
    std::wstring Architecture; // "x86", "x64", "arm", "arm64" or "neutral"
    std::wstring ResourceId;   // usually empty
};

// The first 64 bits of the SHA-256 of the publisher in UTF-16LE, followed by
// one zero bit, as 13 digits of Crockford's base 32 in lower case.
std::wstring PublisherId(std::wstring_view publisher);
std::wstring PackageFamilyName(const TPackageIdentity& identity);
std::wstring PackageFullName(const TPackageIdentity& identity);

} // namespace velmora
