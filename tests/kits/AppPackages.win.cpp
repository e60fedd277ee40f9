#include "tests/kits/AppPackages.h"

#include "platform/Format.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/kits/XmlText.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace velmora::testing {

namespace {

constexpr wchar_t RepositoryKey[] =
    L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository";
constexpr wchar_t ProvisionedKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications";
constexpr wchar_t LogoName[] = L"Assets\\StoreLogo.png";

// A 1x1 image.
constexpr std::string_view Png1x1(
    "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0"
    "\rIDATx\x9c\x63\x50\x48\x38\xf0\x1f\0\x04\x24\x02\x40\xea\xa7\x61\xc6\0\0\0\0IEND\xae\x42\x60\x82",
    70);

void Check(bool ok, const std::string& what) {
    if (!ok)
        throw std::runtime_error("app package kit: " + what);
}

void WriteFile(const std::wstring& path, std::string_view bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(file.good(), "cannot write " + Narrow(path));
}

// A text element or attribute written only when the text is not empty.
std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return text.empty() ? L"" : Format(L"    <%s>%s</%s>\r\n", name, XmlText(text), name);
}
std::wstring Attribute(const wchar_t* name, const std::wstring& text) {
    return text.empty() ? L"" : Format(L" %s=\"%s\"", name, XmlText(text));
}

std::wstring Manifest(const TTestPackage& p) {
    std::wstring xml =
        L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        L"<Package xmlns=\"http://schemas.microsoft.com/appx/manifest/foundation/windows10\" "
        L"xmlns:uap=\"http://schemas.microsoft.com/appx/manifest/uap/windows10\">\r\n  <Identity" +
        Attribute(L"Name", p.Name) + Attribute(L"Publisher", p.Publisher) + Attribute(L"Version", p.Version) +
        Attribute(L"ProcessorArchitecture", p.Architecture) + Attribute(L"ResourceId", p.ResourceId) +
        L" />\r\n  <Properties>\r\n" + Element(L"DisplayName", p.DisplayName) +
        Element(L"PublisherDisplayName", p.PublisherDisplayName) + Element(L"Description", p.Description) +
        Element(L"Logo", LogoName) + Element(L"Framework", p.Framework ? L"true" : L"") +
        Element(L"ResourcePackage", p.ResourcePackage ? L"true" : L"") + L"  </Properties>\r\n";
    if (!p.ApplicationId.empty())
        xml += L"  <Applications>\r\n    <Application" + Attribute(L"Id", p.ApplicationId) +
               L" Executable=\"App.exe\" EntryPoint=\"App.App\">\r\n      <uap:VisualElements" +
               Attribute(L"DisplayName", p.DisplayName) +
               Attribute(L"Description", p.Description.empty() ? p.DisplayName : p.Description) +
               L" BackgroundColor=\"transparent\"" + Attribute(L"Square150x150Logo", LogoName) +
               Attribute(L"Square44x44Logo", LogoName) + (p.InAppList ? L"" : L" AppListEntry=\"none\"") +
               L" />\r\n    </Application>\r\n  </Applications>\r\n";
    return xml + L"</Package>\r\n";
}

// The repository keeps a manifest resource reference in the indirect form.
std::wstring RepositoryText(const TTestPackage& p, const std::wstring& text) {
    constexpr std::wstring_view Prefix = L"ms-resource:";
    if (text.compare(0, Prefix.size(), Prefix) != 0)
        return text;
    std::wstring name = text.substr(Prefix.size());
    if (name.find(L'/') == std::wstring::npos)
        name = L"Resources/" + name;
    return L"@{" + p.FullName() + L"?ms-resource://" + p.Name + L"/" + name + L"}";
}

} // namespace

std::wstring TTestPackage::Folder() const {
    return (InWindowsFolder ? WindowsFolder() + L"\\SystemApps\\"
                            : ProgramFilesFolder() + L"\\WindowsApps\\") +
           FullName();
}

std::wstring TTestPackage::LogoFile() const {
    if (!HasLogo)
        return {};
    std::wstring name = LogoName;
    if (!LogoVariant.empty())
        name.insert(name.size() - 4, L"." + LogoVariant);
    return Folder() + L"\\" + name;
}

TTestPackage ProcessPackage(const wchar_t* group, const wchar_t* stem) {
    TTestPackage package;
    package.Name = Format(L"Velmora.%s.%s.%d", group, stem, static_cast<int>(GetCurrentProcessId()));
    package.DisplayName = Format(L"Velmora %s", stem);
    return package;
}

void InstallTestPackage(const TTestPackage& package) {
    const std::wstring folder = package.Folder();
    WriteFile(folder + L"\\AppxManifest.xml", Narrow(Manifest(package)));
    WriteFile(folder + L"\\AppxSignature.p7x", "PKCX");
    if (package.HasLogo)
        WriteFile(package.LogoFile(), Png1x1);

    const std::wstring fullName = package.FullName();
    const std::wstring repository = RepositoryKey;
    TRegKey key = TRegKey::Create(HKEY_CURRENT_USER, repository + L"\\Packages\\" + fullName);
    Check(static_cast<bool>(key), "cannot create the repository key");
    Check(key.WriteString(L"DisplayName", RepositoryText(package, package.DisplayName)) &&
              key.WriteString(L"PackageID", fullName) && key.WriteString(L"PackageRootFolder", folder),
          "cannot write the repository values");
    if (!package.ApplicationId.empty()) {
        TRegKey app = key.CreateSubKey(package.ApplicationId);
        Check(app && app.WriteString(L"AppUserModelID", package.FamilyName() + L"!" + package.ApplicationId),
              "cannot write the application key");
    }
    Check(static_cast<bool>(TRegKey::Create(HKEY_CURRENT_USER, repository + L"\\Families\\" +
                                                                   package.FamilyName() + L"\\" + fullName)),
          "cannot create the family key");
    if (package.Provisioned) {
        TRegKey provisioned =
            TRegKey::Create(HKEY_LOCAL_MACHINE, std::wstring(ProvisionedKey) + L"\\" + fullName);
        Check(provisioned && provisioned.WriteString(L"Path", folder + L"\\AppxManifest.xml"),
              "cannot write the provisioned key");
    }
}

TInstalledTestPackage::TInstalledTestPackage(TTestPackage package) : FPackage(std::move(package)) {
    InstallTestPackage(FPackage);
    FInstalled = true;
}

TInstalledTestPackage::~TInstalledTestPackage() {
    try {
        Remove();
    } catch (...) {
    }
}

void TInstalledTestPackage::Remove() {
    if (!std::exchange(FInstalled, false))
        return;
    const TTestPackage& package = FPackage;
    const std::wstring fullName = package.FullName();
    const std::wstring repository = RepositoryKey;
    DeleteKey(HKEY_CURRENT_USER, repository + L"\\Packages\\" + fullName);
    const std::wstring family = repository + L"\\Families\\" + package.FamilyName();
    DeleteKey(HKEY_CURRENT_USER, family + L"\\" + fullName);
    if (TRegKey familyKey = TRegKey::Open(HKEY_CURRENT_USER, family); familyKey && !familyKey.HasSubKeys()) {
        familyKey = {};
        DeleteKey(HKEY_CURRENT_USER, family);
    }
    DeleteKey(HKEY_LOCAL_MACHINE, std::wstring(ProvisionedKey) + L"\\" + fullName);
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(package.Folder()), error);
    Check(!error, "cannot delete " + Narrow(package.Folder()));
}

} // namespace velmora::testing
