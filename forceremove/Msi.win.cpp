#include "forceremove/Msi.h"

#include "forceremove/FileList.h"
#include "forceremove/AppFolders.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "forceremove/SharedFolders.h"
#include "forceremove/ShortcutList.h"
#include "frame/Boundary.h"
#include "msi/MsiEngine.h"
#include "msi/MsiRules.h"
#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <map>
#include <utility>

namespace velmora {

namespace {

// One part of the scan: a failure is logged and the next part runs; a
// termination passes on.
template <class Body> void GuardedPart(Body&& body) {
    try {
        body();
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
}

} // namespace

TFRMsi::TFRMsi(std::wstring productGUID, TWorkflowCheck checkWorkflow, std::vector<TFRFile*>& dataFileList,
               TFRFileList& fileList, TFRShortcutList& shortcutList, TFRRegList& regList,
               const TSharedFolders& sharedFolders)
    : FProductGUID(std::move(productGUID)), FCheckWorkflow(std::move(checkWorkflow)),
      FDataFileList(dataFileList), FFileList(fileList), FShortcutList(shortcutList), FRegList(regList),
      FSharedFolders(sharedFolders) {}

bool TFRMsi::CanProcess() const {
    return TMsiEngine::Instance().FindProduct(FProductGUID) != nullptr;
}

void TFRMsi::Run() {
    Guarded([this] { Scan(); });
}

void TFRMsi::Scan() {
    auto product = TMsiEngine::Instance().FindProduct(FProductGUID);
    if (!product)
        return;
    product->OpenProduct();
    try {
        product->CostFiles();
        ScanProduct(*product);
    } catch (...) {
        product->CloseProduct();
        throw;
    }
    product->CloseProduct();
}

void TFRMsi::ScanProduct(TMsiProduct& product) {
    GuardedPart([&] { AddFiles(product); });
    GuardedPart([&] { AddRegistryRows(product); });
    GuardedPart([&] { AddShortcuts(product); });
    GuardedPart([&] { AddFileTypes(product); });
    GuardedPart([&] { AddUpgradeCodes(product); });
    GuardedPart([&] { AddEmptiedFolders(); });
    FRegList.Compact();
}

// A file whose component another product still uses stays, and so does one
// of a component the installer cannot tell the clients of.
void TFRMsi::AddFiles(TMsiProduct& product) {
    auto files = product.EnumFiles();
    const int32_t count = files->Count();
    std::map<std::wstring, bool> sharedComponents;
    auto isShared = [&](const std::wstring& component) {
        if (component.empty())
            return false;
        auto [found, added] = sharedComponents.try_emplace(component, false);
        if (added) {
            auto clients = TMsiEngine::ComponentClients(component);
            found->second = !clients || MsiComponentSharedWithAnotherProduct(*clients, FProductGUID);
        }
        return found->second;
    };
    for (int32_t i = 0; files->Next(); ++i) {
        if (FCheckWorkflow)
            FCheckWorkflow();
        if (count > 0)
            SetProgress(static_cast<int32_t>(static_cast<int64_t>(i) * 100 / count));
        if (isShared(files->CurrentComponent()))
            continue;
        if (auto size = FileSize(files->Current()))
            if (TFRFile* file = FFileList.AddFile(files->Current(), static_cast<int64_t>(*size))) {
                FDataFileList.push_back(file);
                FPackageFolders.push_back(ExtractFilePath(files->Current()));
            }
    }
}

// Rows follow their component's bitness. A key whose rows are values is the
// program's whole only when nothing else is in it; whole-key rows go whole.
void TFRMsi::AddRegistryRows(TMsiProduct& product) {
    // Upper-cased key text -> the key text and the values of its rows.
    std::map<std::wstring, std::pair<std::wstring, std::vector<std::wstring>>> valueRows;
    auto rows = product.EnumRegKeys();
    while (rows->Next()) {
        auto root = RootFromKey(rows->CurrentRoot());
        if (!root || TFRRegList::IsInSystemPath(rows->CurrentKey()))
            continue;
        const std::wstring keyText =
            FRegList.RealKeyText(SystemRegistrySource(), *root, rows->CurrentKey(), rows->Is64Bit());
        if (rows->CurrentValueName().empty()) {
            FRegList.Add(keyText, L"");
            continue;
        }
        auto& key =
            valueRows.try_emplace(UpperCase(keyText), keyText, std::vector<std::wstring>{}).first->second;
        key.second.push_back(rows->CurrentValueName());
    }
    for (const auto& [id, key] : valueRows)
        FRegList.AddKeyOrValues(SystemRegistrySource(), key.first, key.second);
}

void TFRMsi::AddShortcuts(TMsiProduct& product) {
    auto shortcuts = product.EnumShortcuts();
    while (shortcuts->Next())
        if (auto size = FileSize(shortcuts->CurrentPath()))
            if (TFRFile* file = FFileList.AddFile(shortcuts->CurrentPath(), static_cast<int64_t>(*size))) {
                FShortcutList.Add(*file, L"");
                FPackageFolders.push_back(ExtractFilePath(shortcuts->CurrentPath()));
            }
}

void TFRMsi::AddFileTypes(TMsiProduct& product) {
    const TRegistrySource& registry = SystemRegistrySource();
    auto extensions = product.EnumExtensions();
    while (extensions->Next()) {
        AddMsiExtensionKey(
            FRegList, registry,
            FRegList.RealKeyText(registry, TRegRoot::ClassesRoot, L"." + extensions->CurrentExtension()),
            extensions->CurrentProgID(), extensions->CurrentMime());
        if (!extensions->CurrentProgID().empty())
            FRegList.Add(FRegList.RealKeyText(registry, TRegRoot::ClassesRoot, extensions->CurrentProgID()),
                         L"");
    }
}

// The family's key holds the packed code of each of its products.
void TFRMsi::AddUpgradeCodes(TMsiProduct& product) {
    const std::wstring packedProduct = UpperCase(PackedUpgradeCode(FProductGUID));
    auto upgrades = product.EnumUpgrades();
    while (upgrades->Next())
        FRegList.AddKeyOrValues(SystemRegistrySource(),
                                FRegList.RealKeyText(SystemRegistrySource(), TRegRoot::ClassesRoot,
                                                     L"Installer\\UpgradeCodes\\" + upgrades->CurrentCode()),
                                {packedProduct});
}

// A folder goes, after its content, when every entry in it is listed and it
// is no folder programs share; then its parent by the same rule. Another
// program's file or folder in it keeps it.
void TFRMsi::AddEmptiedFolders() {
    std::vector<std::wstring> folders = FPackageFolders;
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::wstring& folder = folders[i];
        if (!IsFullFolderPath(folder) || FFileList.DirExists(folder) || FSharedFolders.IsShared(folder) ||
            !HoldsOnlyListed(folder))
            continue;
        if (TFRFile* entry = FFileList.AddDir(folder))
            FDataFileList.push_back(entry);
        folders.push_back(ExtractFilePath(ExcludeTrailingBackslash(folder)));
    }
}

bool TFRMsi::HoldsOnlyListed(const std::wstring& folder) const {
    bool any = false;
    for (const TFindData& entry : FindFiles(folder + L"*")) {
        if (FCheckWorkflow)
            FCheckWorkflow();
        const std::wstring path = folder + std::wstring(entry.Name()) + (entry.IsFolder() ? L"\\" : L"");
        if (!FFileList.DirExists(path))
            return false;
        any = true;
    }
    return any;
}

} // namespace velmora
