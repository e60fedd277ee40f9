#include "tests/features/ServicingMachine.h"

#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/kits/XmlText.h"
#include "tests/TestBase.h"

namespace velmora::testing {

unique_handle HoldServicingLock() {
    return unique_handle(CreateFileW((WindowsFolder() + L"\\servicing\\velmora-double.lock").c_str(),
                                     GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
}

namespace {

// Wine runs its own program of a name unless told to load the file on disk.
constexpr wchar_t kWineOverridesKey[] = L"Software\\Wine\\DllOverrides";
constexpr wchar_t kKeptSuffix[] = L".velmora-kept";

constexpr wchar_t kServicingKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing";

std::wstring PackageKeyPath(const std::wstring& packageKey) {
    return std::wstring(kServicingKey) + L"\\Packages\\" + packageKey;
}

std::wstring Attribute(const wchar_t* name, const std::wstring& value) {
    return Format(L" %s=\"%s\"", name, XmlText(value));
}

std::wstring AssemblyIdentity(const TServicingPackage& package) {
    return L"<assemblyIdentity" + Attribute(L"name", package.Name) + Attribute(L"version", package.Version) +
           Attribute(L"language", package.Locale.empty() ? L"neutral" : package.Locale) +
           Attribute(L"processorArchitecture", package.Architecture) +
           Attribute(L"publicKeyToken", package.PublicKeyToken) + L"/>";
}

std::wstring UpdateElement(const TServicingUpdate& update) {
    std::wstring xml = L"    <update" + Attribute(L"name", update.Name) +
                       Attribute(L"displayName", update.DisplayName) +
                       Attribute(L"description", update.Description) + L">\r\n";
    if (!update.Parent.empty())
        xml += Format(
            L"      <applicable disposition=\"staged\"><detectUpdate><%s%s/></detectUpdate></applicable>\r\n",
            update.ParentViaUpdate ? L"update" : L"parent", Attribute(L"name", update.Parent));
    if (update.DefaultEnabled)
        xml +=
            Format(L"      <selectable disposition=\"staged\"><detectNone default=\"%s\"/></selectable>\r\n",
                   *update.DefaultEnabled ? L"true" : L"false");
    return xml + L"    </update>\r\n";
}

// An update that contains a whole package, as a rollup lists its parts.
std::wstring ContainedPackageElement(const TServicingPackage& package, const std::wstring& name) {
    TServicingPackage part = package;
    part.Name = name;
    return L"    <update" + Attribute(L"name", name) + L">\r\n      <package integrate=\"hidden\">" +
           AssemblyIdentity(part) + L"</package>\r\n    </update>\r\n";
}

std::string Manifest(const TServicingPackage& package) {
    std::wstring xml =
        L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        L"<assembly xmlns=\"urn:schemas-microsoft-com:asm.v3\" manifestVersion=\"1.0\"" +
        (package.DisplayName ? Attribute(L"displayName", *package.DisplayName) : L"") + L">\r\n  " +
        AssemblyIdentity(package) + L"\r\n  <package" +
        Attribute(L"identifier", package.Identifier.empty() ? package.Name : package.Identifier) +
        (package.ReleaseType.empty() ? L"" : Attribute(L"releaseType", package.ReleaseType)) +
        (package.Permanence.empty() ? L"" : Attribute(L"permanence", package.Permanence)) + L">\r\n";
    for (const TServicingUpdate& update : package.Updates)
        xml += UpdateElement(update);
    for (const std::wstring& name : package.ContainedPackages)
        xml += ContainedPackageElement(package, name);
    return Narrow(xml + L"  </package>\r\n</assembly>\r\n");
}

void WritePackageValues(const TRegKey& key, const TServicingPackage& package) {
    for (auto [name, value] : {std::pair{L"InstallClient", &package.InstallClient},
                               std::pair{L"InstallLocation", &package.InstallLocation},
                               std::pair{L"InstallUser", &package.InstallUser}})
        EXPECT_TRUE(value->empty() || key.WriteString(name, *value)) << Narrow(name);
    std::map<std::wstring, DWORD> numbers;
    if (package.InstallTime)
        numbers = {{L"InstallTimeHigh", package.InstallTime->dwHighDateTime},
                   {L"InstallTimeLow", package.InstallTime->dwLowDateTime}};
    if (package.CurrentState)
        numbers[L"CurrentState"] = *package.CurrentState;
    for (const auto& [name, number] : numbers)
        EXPECT_TRUE(key.WriteNumber(name, number)) << Narrow(name);
    if (package.Owners) {
        TRegKey owners = key.CreateSubKey(L"Owners");
        for (const auto& [owner, state] : *package.Owners)
            EXPECT_TRUE(owners.WriteNumber(owner, state));
    }
}

} // namespace

std::wstring TServicingPackage::Key() const {
    return Name + L"~" + PublicKeyToken + L"~" + Architecture + L"~" + Locale + L"~" + Version;
}

std::wstring TServicingMachine::PackagesFolder() {
    return WindowsFolder() + L"\\servicing\\Packages";
}

std::wstring TServicingMachine::ManifestPath(const std::wstring& packageKey) {
    return PackagesFolder() + L"\\" + packageKey + L".mum";
}

void TServicingMachine::RememberCreatedRoots() {
    if (FRootsChecked)
        return;
    FRootsChecked = true;
    FCreatedServicingKey = !KeyExists(TRegRoot::LocalMachine, kServicingKey, TRegView::x64);
    for (const std::wstring& folder : {WindowsFolder() + L"\\servicing", PackagesFolder()})
        if (CreateDirectoryW(folder.c_str(), nullptr))
            FCreatedFolders.insert(FCreatedFolders.begin(), folder);
}

std::wstring TServicingMachine::AddPackage(const TServicingPackage& package) {
    RememberCreatedRoots();
    const std::wstring key = package.Key();
    FPackages.push_back(key);
    std::ofstream file(std::filesystem::path(ManifestPath(key)), std::ios::binary);
    file << Manifest(package);
    EXPECT_TRUE(file.good()) << Narrow(ManifestPath(key));
    TRegKey packageKey =
        TRegKey::Create(TRegRoot::LocalMachine, PackageKeyPath(key), KEY_READ | KEY_WRITE, TRegView::x64);
    EXPECT_TRUE(packageKey) << packageKey.Status();
    WritePackageValues(packageKey, package);
    TRegKey updates = packageKey.CreateSubKey(L"Updates");
    for (const auto& [name, state] : package.States)
        EXPECT_TRUE(updates.WriteNumber(name, state));
    return key;
}

void TServicingMachine::InstallDoubles() {
    const std::wstring from = ExtractFilePath(ModuleFileName(nullptr));
    TRegKey overrides = TRegKey::Create(TRegRoot::CurrentUser, kWineOverridesKey);
    for (const wchar_t* tool : {L"DISM.exe", L"PkgMgr.exe"}) {
        std::wstring target = SystemFolderWithBackslash() + tool;
        // A copy kept aside by a run that never cleared up is the original.
        bool kept =
            PathExists(target + kKeptSuffix) || MoveFileW(target.c_str(), (target + kKeptSuffix).c_str());
        EXPECT_TRUE(CopyFileW((from + tool).c_str(), target.c_str(), FALSE)) << Narrow(from + tool);
        FDoubles.emplace_back(target, kept);
        std::wstring name = LowerCase(tool);
        // Only the feature tests use this prefix: an override found here was
        // left by such a run.
        if (overrides.WriteString(name, L"native"))
            FOverrides.push_back(name);
    }
}

void TServicingMachine::Clear() {
    for (const std::wstring& key : FPackages) {
        DeleteFileW(ManifestPath(key).c_str());
        DeleteKey(TRegRoot::LocalMachine, PackageKeyPath(key), TRegView::x64);
    }
    for (const auto& [file, kept] : FDoubles) {
        // A tool a test left running holds its file until it has ended; this
        // test's process must outlive it (under Wine a child whose parent is
        // gone may never end).
        EXPECT_TRUE(WaitUntil([&] {
            return DeleteFileW(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
        })) << Narrow(file)
            << " is still in use";
        if (kept)
            MoveFileW((file + kKeptSuffix).c_str(), file.c_str());
    }
    TRegKey overrides = TRegKey::Open(TRegRoot::CurrentUser, kWineOverridesKey, KEY_SET_VALUE);
    for (const std::wstring& name : FOverrides)
        overrides.DeleteValue(name);
    if (FCreatedServicingKey)
        DeleteKey(TRegRoot::LocalMachine, kServicingKey, TRegView::x64);
    for (const std::wstring& folder : FCreatedFolders)
        RemoveDirectoryW(folder.c_str());
    FPackages.clear(), FDoubles.clear(), FOverrides.clear(), FCreatedFolders.clear();
    FCreatedServicingKey = FRootsChecked = false;
}

std::optional<DWORD> TServicingMachine::UpdateState(const std::wstring& updateName) const {
    TRegKey packages = TRegKey::Open(TRegRoot::LocalMachine, std::wstring(kServicingKey) + L"\\Packages",
                                     KEY_READ, TRegView::x64);
    for (const std::wstring& key : packages.SubKeyNames().ToVector())
        if (std::optional<DWORD> state = packages.OpenSubKey(key + L"\\Updates").ReadNumber(updateName))
            return state;
    return std::nullopt;
}

} // namespace velmora::testing
