#include "features/MumEngine.h"

#include "console/PackageManagement.h"
#include "console/Process.h"
#include "frame/DebugLog.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/ComText.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

#include <sddl.h>

#include <algorithm>

namespace velmora {

namespace {

constexpr std::wstring_view ServicingKey =
    L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\";
TRegKey OpenServicingKey(std::wstring_view path) {
    return TRegKey::Open(HKEY_LOCAL_MACHINE, std::wstring(ServicingKey.substr(1)) + std::wstring(path),
                         KEY_READ, TRegView::x64);
}

constexpr uint32_t VersionBit(TWindowsVersion version) {
    return 1u << static_cast<unsigned>(version);
}

// Bits 2 to 23 of the edition index.
constexpr uint32_t AllButFirstTwoEditions = 0x00FFFFFC;

// The running edition as an index into the edition bit sets of the
// visibility rules: 0 unknown, 1 Starter, 2 Home Basic, 3 Home Basic N,
// 4 Home Premium, 5 Home Premium N, 6 Ultimate, 7 Business, 8 Enterprise,
// 9 Ultimate N, 10 Enterprise N, 11 Starter N, 12 Business N, 13 any server.
unsigned EditionIndex() {
    using TGetProductInfo = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    auto getProductInfo = ModuleFunction<TGetProductInfo>(LoadedModule(L"kernel32.dll"), "GetProductInfo");
    DWORD type = 0;
    if (!getProductInfo || !getProductInfo(6, 0, 0, 0, &type))
        return 0;
    switch (type) {
    case PRODUCT_STARTER:
        return 1;
    case PRODUCT_HOME_BASIC:
        return 2;
    case PRODUCT_HOME_BASIC_N:
        return 3;
    case PRODUCT_HOME_PREMIUM:
        return 4;
    case PRODUCT_HOME_PREMIUM_N:
        return 5;
    case PRODUCT_ULTIMATE:
        return 6;
    case PRODUCT_BUSINESS:
        return 7;
    case PRODUCT_ENTERPRISE:
        return 8;
    case PRODUCT_ULTIMATE_N:
        return 9;
    case PRODUCT_ENTERPRISE_N:
        return 10;
    case PRODUCT_STARTER_N:
        return 11;
    case PRODUCT_BUSINESS_N:
        return 12;
    case PRODUCT_UNDEFINED:
        return 0;
    default:
        return 13;
    }
}

constexpr uint32_t Editions(std::initializer_list<unsigned> bits) {
    uint32_t set = 0;
    for (unsigned bit : bits)
        set |= 1u << bit;
    return set;
}

std::wstring SystemLanguage() {
    wchar_t language[16] = {}, country[16] = {};
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO639LANGNAME, language, 16);
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO3166CTRYNAME, country, 16);
    return Format(L"%s-%s", language, country);
}

// The account name of a security identifier in text form; empty when unknown.
std::wstring AccountName(const std::wstring& sidText) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(sidText.c_str(), &sid))
        return {};
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    bool found = LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use);
    LocalFree(sid);
    return found ? std::wstring(name) : std::wstring();
}

const std::initializer_list<const wchar_t*> TrustedFeatureNames = {
    L"NetFx3",
    L"WCF-HTTP-Activation",
    L"WCF-NonHTTP-Activation",
    L"NetFx4-AdvSrvs",
    L"NetFx4Extended-ASPNET45",
    L"DirectoryServices-ADAM-Client",
    L"Microsoft-Hyper-V-All",
    L"Microsoft-Hyper-V-Tools-All",
    L"Microsoft-Hyper-V-Management-Clients",
    L"Microsoft-Hyper-V-Management-PowerShell",
    L"Microsoft-Hyper-V",
    L"Internet-Explorer-Optional-amd64",
    L"Internet-Explorer-Optional-x86",
    L"IIS-WebServerRole",
    L"IIS-FTPServer",
    L"IIS-FTPExtensibility",
    L"IIS-FTPSvc",
    L"IIS-WebServerManagementTools",
    L"IIS-IIS6ManagementCompatibility",
    L"IIS-LegacySnapIn",
    L"IIS-LegacyScripts",
    L"IIS-WMICompatibility",
    L"IIS-Metabase",
    L"IIS-ManagementConsole",
    L"IIS-ManagementScriptingTools",
    L"IIS-ManagementService",
    L"IIS-WebServer",
    L"IIS-ApplicationDevelopment",
    L"IIS-NetFxExtensibility",
    L"IIS-NetFxExtensibility45",
    L"IIS-ApplicationInit",
    L"IIS-ASP",
    L"IIS-ASPNET",
    L"IIS-ASPNET45",
    L"IIS-CGI",
    L"IIS-ISAPIExtensions",
    L"IIS-ISAPIFilter",
    L"IIS-ServerSideIncludes",
    L"IIS-WebSockets",
    L"IIS-CommonHttpFeatures",
    L"IIS-DefaultDocument",
    L"IIS-DirectoryBrowsing",
    L"IIS-HttpErrors",
    L"IIS-HttpRedirect",
    L"IIS-StaticContent",
    L"IIS-WebDAV",
    L"IIS-HealthAndDiagnostics",
    L"IIS-CustomLogging",
    L"IIS-HttpLogging",
    L"IIS-LoggingLibraries",
    L"IIS-ODBCLogging",
    L"IIS-RequestMonitor",
    L"IIS-HttpTracing",
    L"IIS-Performance",
    L"IIS-HttpCompressionDynamic",
    L"IIS-HttpCompressionStatic",
    L"IIS-Security",
    L"IIS-BasicAuthentication",
    L"IIS-CertProvider",
    L"IIS-ClientCertificateMappingAuthentication",
    L"IIS-DigestAuthentication",
    L"IIS-IISCertificateMappingAuthentication",
    L"IIS-IPSecurity",
    L"IIS-RequestFiltering",
    L"IIS-URLAuthorization",
    L"IIS-WindowsAuthentication",
    L"IIS-HostableWebCore",
    L"MediaPlayback",
    L"MediaCenter",
    L"WindowsMediaPlayer",
    L"MSMQ-Container",
    L"MSMQ-Server",
    L"MSMQ-ADIntegration",
    L"MSMQ-HTTP",
    L"MSMQ-Triggers",
    L"MSMQ-Multicast",
    L"MSMQ-DCOMProxy",
    L"Printing-Foundation-Features",
    L"Printing-PrintToPDFServices-Features",
    L"Printing-Foundation-InternetPrinting-Client",
    L"Printing-Foundation-LPDPrintService",
    L"Printing-Foundation-LPRPortMonitor",
    L"ScanManagementConsole",
    L"FaxServicesClientPackage",
    L"RasCMAK",
    L"MSRDC-Infrastructure",
    L"RasRip",
    L"ServicesForNFS-ClientOnly",
    L"NFS-Administration",
    L"ClientForNFS-Infrastructure",
    L"SNMP",
    L"WMISnmpProvider",
    L"SimpleTCP",
    L"SUA",
    L"TabletPCOC",
    L"TelnetClient",
    L"TelnetServer",
    L"TFTP",
    L"WindowsGadgetPlatform",
    L"Windows-Identity-Foundation",
    L"MicrosoftWindowsPowerShellV2Root",
    L"MicrosoftWindowsPowerShellV2",
    L"WAS-WindowsActivationService",
    L"WAS-NetFxEnvironment",
    L"WAS-ConfigurationAPI",
    L"WAS-ProcessModel",
    L"SearchEngine-Client-Package",
    L"TIFFIFilter",
    L"Printing-XPSServices-Features",
    L"Xps-Foundation-Xps-Viewer",
    L"Microsoft-Windows-MobilePC-Client-Premium-Package-net",
    L"Microsoft-Windows-MobilePC-LocationProvider-INF",
    L"WCF-Services45",
    L"WCF-HTTP-Activation45",
    L"WCF-TCP-Activation45",
    L"NET-WCF-Pipe-Activation45",
    L"WCF-MSMQ-Activation45",
    L"WCF-TCP-PortSharing45",
    L"Microsoft-Hyper-V-Services",
    L"Microsoft-Hyper-V-Hypervisor",
    L"LegacyComponents",
    L"DirectPlay",
    L"EdgeCP-amd64",
    L"WorkFolders-Client",
    L"Microsoft-Windows-Subsystem-Linux",
    L"Microsoft-Windows-LegacyLanguageSupport",
    L"MultiPoint-Connector",
    L"WCF-Pipe-Activation45",
    L"SMB1Protocol",
    L"Client-EmbeddedShellLauncher",
    L"Client-EmbeddedBootExp",
    L"Client-EmbeddedLogon",
    L"Client-UnifiedWriteFilter",
    L"IsolatedUserMode"};

} // namespace

TFeatureIconListVista::TFeatureIconListVista() {
    AddGroup(L"ICON_FEATURE_IE", {L"Internet-Explorer-Optional-x86", L"Internet-Explorer-Optional-x64",
                                  L"Internet-Explorer-Optional-amd64", L"Internet-Explorer-Optional-amd86"});
    AddGroup(L"ICON_FEATURE_DOTNET", {L"NetFx3"});
    AddGroup(L"ICON_FEATURE_GAMES", {L"InboxGames"});
    AddGroup(L"ICON_FEATURE_GADGETS", {L"WindowsGadgetPlatform"});
    AddGroup(L"ICON_FEATURE_PRINTING", {L"Printing-Foundation-Features"});
    AddGroup(L"ICON_FEATURE_MEDIA", {L"MediaPlayback"});
    AddGroup(L"ICON_FEATURE_IIS", {L"IIS-WebServerRole", L"IIS-HostableWebCore"});
    AddGroup(L"ICON_FEATURE_XPS",
             {L"Printing-XPSServices-Features", L"Xps-Foundation-Xps-Viewer", L"XPS-Viewer"});
    AddGroup(L"ICON_FEATURE_INDEXING", {L"Indexing-Service-Package", L"SearchEngine-Client-Package"});
    AddGroup(L"ICON_FEATURE_ACTIVATION", {L"WAS-WindowsActivationService", L"Windows-Ultimate-Extras"});
    AddGroup(L"ICON_FEATURE_TABLETPC", {L"TabletPCOC"});
    AddGroup(L"ICON_FEATURE_NETWORK",
             {L"SNMP", L"TelnetServer", L"TelnetClient", L"TFTP", L"RasRip", L"SimpleTCP"});
    AddGroup(L"ICON_FEATURE_FAX", {L"FaxServicesClientPackage", L"FaxServicesUltimate"});
}

namespace {

// "true" or a number other than 0; anything else is false.
bool TextToBool(std::wstring_view text) {
    if (SameText(text, L"true"))
        return true;
    text = Trim(text);
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring_view::npos &&
           text.find_first_not_of(L'0') != std::wstring_view::npos;
}

std::wstring AttributeText(const TXmlElement& element, const std::wstring& name) {
    return element ? element.Attribute(name).value_or(L"") : L"";
}

} // namespace

// --- rules ---------------------------------------------------------------------------------------------

void TMumRules::AddRule(std::wstring_view name, uint32_t versions, uint32_t editions) {
    static const uint32_t version = VersionBit(WindowsVersion());
    static const uint32_t edition = 1u << EditionIndex();
    if ((versions & version) && (editions & edition))
        FNames.insert(LowerCase(name));
}

void TMumRules::AddRules(uint32_t versions, uint32_t editions, std::wstring_view prefix,
                         std::initializer_list<std::wstring_view> names) {
    for (std::wstring_view name : names)
        AddRule(std::wstring(prefix) + std::wstring(name), versions, editions);
}

bool TMumRules::Contains(std::wstring_view name) const {
    return FNames.count(LowerCase(name)) > 0;
}

// --- registry ------------------------------------------------------------------------------------------

TMumRegistry::TMumRegistry() {
    constexpr uint32_t vista = VersionBit(TWindowsVersion::wvVista);
    FRulesHidden.AddRules(
        vista, Editions({7}), L"",
        {L"ServicesForNFS-ClientOnly", L"NFS-Administration", L"ClientForNFS-Infrastructure"});
    FRulesHidden.AddRule(L"SUA", vista, Editions({2, 3, 4, 5, 7, 12}));
    FRulesHidden.AddRule(L"RasCMAK", vista, Editions({2, 3, 4, 5, 7}));
    FRulesHidden.AddRule(L"MediaCenter", vista, Editions({2, 3, 7}));
    FRulesHidden.AddRule(L"Microsoft-Hyper-V-Management-Clients-VistaSP1", vista, AllButFirstTwoEditions);
    FRulesVisible.AddRules(vista, AllButFirstTwoEditions, L"",
                           {L"Microsoft-Windows-MobilePC-Client-Premium-Package-net",
                            L"Microsoft-Windows-MobilePC-LocationProvider-INF", L"WCF-Services45",
                            L"WCF-HTTP-Activation45", L"WCF-TCP-Activation45", L"NET-WCF-Pipe-Activation45",
                            L"WCF-MSMQ-Activation45", L"WCF-TCP-PortSharing45", L"WCF-Pipe-Activation45"});
}

void TMumRegistry::Clear() {
    FDetectedUpdates.clear();
    FUpdates.clear();
    FStates.clear();
}

void TMumRegistry::Refresh() {
    Clear();
    if (TRegKey detect = OpenServicingKey(L"UpdateDetect\\"))
        FDetectedUpdates = detect.SubKeyNames().ToVector();
    else
        DebugLog().WriteLog(TLogLevel::llWarning,
                            L"Key not exist: " + std::wstring(ServicingKey) + L"UpdateDetect\\");
    DebugLog().WriteLogF(TLogLevel::llInfo, L"Detected Updates: %d", FDetectedUpdates.size());
    TRegKey packages = OpenServicingKey(L"Packages\\");
    for (const std::wstring& package : packages.SubKeyNames()) {
        TRegKey updates = packages.OpenSubKey(package + L"\\Updates");
        for (const std::wstring& name : updates.ValueNames()) {
            auto state = static_cast<int32_t>(updates.ReadNumber(name).value_or(0));
            if (FDetectedUpdates.empty() ||
                std::any_of(FDetectedUpdates.begin(), FDetectedUpdates.end(),
                            [&](const std::wstring& detected) { return SameText(detected, name); }))
                FUpdates[name] = state;
            FStates[package + L"\\" + name] = state;
            DebugLog().WriteLogF(TLogLevel::llInfo, L"Feature State %s\\%s=%d", package, name, state);
        }
    }
    DebugLog().WriteLogF(TLogLevel::llInfo, L"All Updates: %d", FUpdates.size());
}

void TMumRegistry::FillPackageInfo(TMumPackage& package) const {
    TRegKey key = OpenServicingKey(L"Packages\\" + package.FName);
    if (!key)
        return;
    package.FInstallClient = key.ReadText(L"InstallClient").value_or(package.FInstallClient);
    package.FInstallLocation = key.ReadText(L"InstallLocation").value_or(package.FInstallLocation);
    package.FInstallName = key.ReadText(L"InstallName").value_or(package.FInstallName);
    package.FInstallUser = key.ReadText(L"InstallUser").value_or(package.FInstallUser);
    package.FSelfUpdate = key.ReadNumber(L"SelfUpdate").value_or(package.FSelfUpdate) != 0;
    package.FTrusted = key.ReadNumber(L"Trusted").value_or(package.FTrusted) != 0;
    auto high = key.ReadNumber(L"InstallTimeHigh"), low = key.ReadNumber(L"InstallTimeLow");
    if (!high || !low)
        return;
    FILETIME utc{*low, *high};
    if (auto date = FileTimeToLocalDate(utc))
        package.FInstallTime = *date;
    else
        DebugLog().WriteLogF(TLogLevel::llError, L"Invalid package time Low = %d, High= %d %s", *low, *high,
                             SystemErrorMessage(GetLastError()));
}

bool TMumRegistry::IsOptionalFeature(const std::wstring& name) const {
    return (FUpdates.count(name) || FRulesVisible.Contains(name)) && !FRulesHidden.Contains(name);
}

std::optional<int32_t> TMumRegistry::State(const std::wstring& packageKey, const std::wstring& update) const {
    auto found = FStates.find(packageKey + L"\\" + update);
    if (found == FStates.end())
        return std::nullopt;
    return found->second;
}

// --- packages ------------------------------------------------------------------------------------------

TMumPackage::TMumPackage(const TMumFile& file) : FFileInfo(file), FName(file.KeyName()) {}

void TMumPackage::Load() {
    if (!FileExists(FFileInfo.FFileName))
        return;
    try {
        TXmlDocument document;
        document.Load(FFileInfo.FFileName);
        TXmlElement package = document.DocumentElement().Child(L"package");
        if (!package || SameText(AttributeText(package, L"releaseType"), L"Product"))
            return;
        for (const TXmlElement& element : package.Children(L"update")) {
            auto update = std::make_unique<TMumUpdate>();
            update->FDescription = AttributeText(element, L"description");
            update->FName = AttributeText(element, L"name");
            update->FDisplayName = AttributeText(element, L"displayName");
            TXmlElement detect = element.Child(L"applicable").Child(L"detectUpdate");
            TXmlElement parent = detect.Child(L"update");
            if (!parent)
                parent = detect.Child(L"parent");
            update->FParent = AttributeText(parent, L"name");
            std::wstring defaultState =
                AttributeText(element.Child(L"selectable").Child(L"detectNone"), L"default");
            update->FDefaultEnabled = TextToBool(defaultState);
            update->FPackage = this;
            FUpdates.push_back(std::move(update));
        }
    } catch (...) {
        StatisticsLog::AddError();
    }
}

const TMumUpdate* TMumPackage::Update(const std::wstring& name) const {
    for (auto& update : FUpdates)
        if (update->FName == name)
            return update.get();
    return nullptr;
}

// --- engine --------------------------------------------------------------------------------------------

TMumEngine::TMumEngine() : TMumEngine(std::make_unique<TFeatureIconListVista>()) {}

TMumEngine::TMumEngine(std::unique_ptr<TFeatureIconList> icons)
    : TFeatureManager(std::move(icons)), FLanguage(SystemLanguage()) {
    for (const wchar_t* name : TrustedFeatureNames)
        FTrusted.insert(name);
    DebugLog().WriteLog(TLogLevel::llInfo, L"MumEngine created");
}

TMumEngine::~TMumEngine() {
    FreeThreads();
}

void TMumEngine::ReadFeatures(TThread& thread) {
    TComApartmentGuard apartment;
    FFiles.clear();
    FPackages.clear();
    Features().Clear();
    FDismFeatureStates.reset();
    FRegInfo.Refresh();
    thread.CheckTerminated();

    std::vector<TMumFile> files;
    std::wstring folder = WindowsFolder() + L"\\servicing\\Packages\\";
    for (const auto& found : FindFiles(folder + L"*.mum"))
        if (auto file = TMumFile::FromPath(folder + std::wstring(found.Name())))
            files.push_back(std::move(*file));
    FFiles = KeepNewest(std::move(files));
    thread.CheckTerminated();

    for (const TMumFile& file : FFiles) {
        thread.CheckTerminated();
        auto package = std::make_unique<TMumPackage>(file);
        package->Load();
        FRegInfo.FillPackageInfo(*package);
        FPackages.push_back(std::move(package));
    }
    if (IsWindows7OrLater())
        QueryFeatureStates(thread);
    BuildFeatures();
    Features().SortFeatures();

    if (const TMumPackage* foundation = FindPackage(L"Microsoft-Windows-Foundation-Package", L"")) {
        const TMumVersion& v = foundation->FFileInfo.FVersion;
        std::wstring version = Format(L"%d.%d.%d.%d", v.Major, v.Minor, v.Build, v.Revision);
        // The switching worker reads them under the tree's lock.
        auto lock = Features().Guard();
        FVersion = std::move(version);
        FArchitecture = foundation->FFileInfo.FArchitecture;
        FPublicToken = foundation->FFileInfo.FHash;
    }
    FPackages.clear();
    FFiles.clear();
    FRegInfo.Clear();
}

void TMumEngine::QueryFeatureStates(TThread& thread) {
    auto parse = [this](TProcess& process, int32_t result) {
        if (result != 0)
            DebugLog().WriteLog(TLogLevel::llError, process.Errors());
        FDismFeatureStates = ParseFeatureTable(process.Output().Text());
    };
    std::wstring command = PackageManagement::GetCommand(TPackageCommand::cmdGetFeatures);
    while (RunCommand(command, thread, parse) == ERROR_ALREADY_EXISTS)
        thread.SleepByAndCheck(1000);
}

void TMumEngine::BuildFeatures() {
    for (auto& package : FPackages) {
        if (!package->FFileInfo.FLocale.empty())
            continue;
        for (auto& update : package->FUpdates) {
            if (update->FDisplayName.empty())
                continue;
            bool wanted = FDismFeatureStates ? FDismFeatureStates->count(update->FName) > 0
                                             : FRegInfo.IsOptionalFeature(update->FName);
            std::vector<const TMumUpdate*> adding;
            if (wanted)
                AddUpdate(*update, adding);
        }
    }
}

const TMumPackage* TMumEngine::FindPackage(const std::wstring& package, const std::wstring& locale) const {
    for (auto& candidate : FPackages)
        if (candidate->FFileInfo.FPackage == package && candidate->FFileInfo.FLocale == locale)
            return candidate.get();
    return nullptr;
}

const TMumUpdate* TMumEngine::FindNeutralUpdate(const std::wstring& name) const {
    if (name.empty())
        return nullptr;
    for (auto& package : FPackages)
        if (package->FFileInfo.FLocale.empty())
            if (const TMumUpdate* update = package->Update(name))
                return update;
    return nullptr;
}

// adding holds the updates whose parents are being added: of a cycle of
// parents, the update met a second time goes to the top level.
TComPtr<IFeature> TMumEngine::AddUpdate(const TMumUpdate& update, std::vector<const TMumUpdate*>& adding) {
    if (auto existing = Features().Find(update.FName))
        return existing;
    TComPtr<IFeature> parent;
    const TMumUpdate* parentUpdate = FindNeutralUpdate(update.FParent);
    if (parentUpdate && std::ranges::find(adding, &update) == adding.end()) {
        adding.push_back(&update);
        parent = AddUpdate(*parentUpdate, adding);
        adding.pop_back();
        // Coming round a cycle of parents added it already.
        if (auto existing = Features().Find(update.FName))
            return existing;
    }
    TComPtr<IFeature> feature = CreateFeature(update, parent.get());
    if (parent)
        parent->Add(feature.get());
    else
        Features().Add(feature);
    return feature;
}

// asking holds the updates whose state waits for their parent's: a parent
// met again round a cycle counts as none, as the tree puts that one on top.
bool TMumEngine::IsUpdateEnabled(const TMumUpdate& update, std::vector<const TMumUpdate*>& asking) const {
    if (FDismFeatureStates) {
        auto found = FDismFeatureStates->find(update.FName);
        return found != FDismFeatureStates->end() && found->second;
    }
    std::optional<int32_t> state = FRegInfo.State(update.FPackage->FName, update.FName);
    asking.push_back(&update);
    bool enabled = UpdateEnabled(state, update.FDefaultEnabled, [&] {
        const TMumUpdate* parent = FindNeutralUpdate(update.FParent);
        if (!parent || std::ranges::find(asking, parent) != asking.end())
            return true;
        if (!FRegInfo.State(parent->FPackage->FName, parent->FName))
            return parent->FDefaultEnabled;
        return IsUpdateEnabled(*parent, asking);
    });
    asking.pop_back();
    DebugLog().WriteLogF(TLogLevel::llInfo, L"Feature enabled %s (%d)", update.FName, state.value_or(0));
    return enabled;
}

TComPtr<IFeature> TMumEngine::CreateFeature(const TMumUpdate& update, IFeature* parent) {
    const TMumUpdate* source = &update;
    if (const TMumPackage* localized = FindPackage(update.FPackage->FFileInfo.FPackage, FLanguage))
        if (const TMumUpdate* text = localized->Update(update.FName))
            source = text;
    const TMumPackage& package = *source->FPackage;

    auto* feature = new TFeature(source->FName);
    TComPtr<IFeature> result(feature);
    feature->FDisplayName = source->FDisplayName;
    feature->FDescription = source->FDescription;
    std::vector<const TMumUpdate*> asking;
    feature->FEnabled = IsUpdateEnabled(update, asking);
    feature->SetParent(parent);
    feature->FInstallTime = package.FInstallTime;
    feature->FInstallClient = package.FInstallClient;
    feature->FInstallLocation = package.FInstallLocation;
    feature->FPackageName = package.FName;
    feature->FSelfUpdate = package.FSelfUpdate;
    if (!package.FInstallUser.empty())
        feature->FInstallUser = AccountName(update.FPackage->FInstallUser);
    feature->FTrusted = update.FPackage->FTrusted || FTrusted.count(feature->FName) > 0;
    int icon = IconList().Get(feature->FName);
    if (icon < 0 && parent)
        icon = parent->GetFeatureImageIndex();
    feature->FImageIndex = icon >= 0 ? icon : IconList().Default();
    return result;
}

unique_file TMumEngine::WriteAnswerFile(IFeature* feature, bool enable, const std::wstring& fileName) {
    // A read does not rebuild the tree, nor the foundation's identity, meanwhile.
    auto lock = Features().Guard();
    TXmlDocument document;
    TXmlElement root = document.CreateDocumentElement(L"unattend");
    document.AddDeclaration();
    TXmlElement package = root.AddChild(L"servicing").AddChild(L"package");
    package.SetAttribute(L"action", L"configure");
    TXmlElement identity = package.AddChild(L"assemblyIdentity");
    identity.SetAttribute(L"name", L"Microsoft-Windows-Foundation-Package");
    identity.SetAttribute(L"version", FVersion);
    identity.SetAttribute(L"language", L"neutral");
    identity.SetAttribute(L"processorArchitecture", FArchitecture);
    identity.SetAttribute(L"publicKeyToken", FPublicToken);
    identity.SetAttribute(L"versionScope", L"nonSxS");
    auto select = [&](IFeature* node, bool state) {
        unique_bstr name;
        node->GetName(name.put());
        TXmlElement selection = package.AddChild(L"selection");
        selection.SetAttribute(L"name", BstrText(name.get()));
        selection.SetAttribute(L"state", state ? L"true" : L"false");
    };
    if (!enable) {
        select(feature, false);
    } else {
        TComPtr<IFeature> root;
        feature->GetParentRoot(root.put());
        std::vector<TComPtr<IFeature>> stack{root};
        while (!stack.empty()) {
            TComPtr<IFeature> node = std::move(stack.back());
            stack.pop_back();
            if (node.get() == feature) {
                select(node.get(), true);
                continue;
            }
            select(node.get(), feature->IsParent(node.get()) || node->GetEnabled());
            PushChildren(node.get(), stack);
        }
    }
    return WriteLockedFile(fileName, Narrow(document.Xml()));
}

void TMumEngine::SwitchFeature(IFeature* feature, bool enable, TThread& thread) {
    TComApartmentGuard apartment;
    std::wstring fileName = GetAnswerFileName();
    unique_file answerFile = WriteAnswerFile(feature, enable, fileName);
    RunCommand(PackageManagement::GetCommand(TPackageCommand::cmdInstallFeature, fileName), thread);
}

void TMumEngine::WatchChanges() {
    WatchRegistryKey(HKEY_LOCAL_MACHINE, KEY_READ | KEY_WOW64_64KEY,
                     std::wstring(ServicingKey) + L"Packages\\");
}

} // namespace velmora
