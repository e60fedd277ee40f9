#include "forceremove/Msi.h"

#include "forceremove/FileList.h"
#include "forceremove/RegList.h"
#include "forceremove/ShortcutList.h"
#include "frame/Boundary.h"
#include "msi/MsiEngine.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Thread.h"

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

// An extension key whose file type another program has taken over since
// (its default value names another ProgID) stays.
bool ExtensionKeyIsProducts(const std::wstring& extensionKey, const std::wstring& progID) {
    auto fileType = TRegKey::Open(TRegRoot::ClassesRoot, extensionKey).ReadString(L"");
    return !fileType || fileType->empty() || SameText(*fileType, progID);
}

} // namespace

TFRMsi::TFRMsi(std::wstring productGUID, TWorkflowCheck checkWorkflow, std::vector<TFRFile*>& dataFileList,
               TFRFileList& fileList, TFRShortcutList& shortcutList, TFRRegList& regList)
    : FProductGUID(std::move(productGUID)), FCheckWorkflow(std::move(checkWorkflow)),
      FDataFileList(dataFileList), FFileList(fileList), FShortcutList(shortcutList), FRegList(regList) {}

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
    FRegList.Compact();
}

void TFRMsi::AddFiles(TMsiProduct& product) {
    auto files = product.EnumFiles();
    const int32_t count = files->Count();
    for (int32_t i = 0; files->Next(); ++i) {
        if (FCheckWorkflow)
            FCheckWorkflow();
        if (count > 0)
            SetProgress(static_cast<int32_t>(static_cast<int64_t>(i) * 100 / count));
        if (auto size = FileSize(files->Current()))
            if (TFRFile* file = FFileList.AddFile(files->Current(), static_cast<int64_t>(*size)))
                FDataFileList.push_back(file);
    }
}

void TFRMsi::AddRegistryRows(TMsiProduct& product) {
    auto rows = product.EnumRegKeys();
    while (rows->Next()) {
        auto root = RootFromKey(rows->CurrentRoot());
        if (root && !TFRRegList::IsInSystemPath(rows->CurrentKey()))
            FRegList.Add(*root, rows->CurrentKey(), rows->CurrentValueName());
    }
    AddEmptyKeysOfEntries();
}

// The key of each listed value goes whole once nothing is left below it.
void TFRMsi::AddEmptyKeysOfEntries() {
    std::vector<std::wstring> keys;
    for (size_t i = 0; i < FRegList.Count(); ++i) {
        std::wstring path = FRegList.GetItem(i).FullPath();
        keys.push_back(path.substr(0, path.rfind(L'\\') + 1));
    }
    for (const auto& key : keys)
        if (TFRRegList::IsKeyEmpty(key))
            FRegList.Add(key, L"");
}

void TFRMsi::AddShortcuts(TMsiProduct& product) {
    auto shortcuts = product.EnumShortcuts();
    while (shortcuts->Next())
        if (auto size = FileSize(shortcuts->CurrentPath()))
            if (TFRFile* file = FFileList.AddFile(shortcuts->CurrentPath(), static_cast<int64_t>(*size)))
                FShortcutList.Add(*file, L"");
}

void TFRMsi::AddFileTypes(TMsiProduct& product) {
    auto extensions = product.EnumExtensions();
    while (extensions->Next()) {
        const std::wstring extensionKey = L"." + extensions->CurrentExtension();
        if (ExtensionKeyIsProducts(extensionKey, extensions->CurrentProgID()))
            FRegList.Add(TRegRoot::ClassesRoot, extensionKey, L"");
        if (!extensions->CurrentProgID().empty())
            FRegList.Add(TRegRoot::ClassesRoot, extensions->CurrentProgID(), L"");
    }
}

void TFRMsi::AddUpgradeCodes(TMsiProduct& product) {
    auto upgrades = product.EnumUpgrades();
    while (upgrades->Next())
        FRegList.Add(TRegRoot::ClassesRoot, Format(L"Installer\\UpgradeCodes\\%s", upgrades->CurrentCode()),
                     L"");
}

} // namespace velmora
