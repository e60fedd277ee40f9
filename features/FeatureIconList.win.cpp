#include "features/FeatureIconList.h"

#include "platform/Module.h"

namespace velmora {

TFeatureIconList::TFeatureIconList() {
    HMODULE module = ThisModule();
    AddIconResource(module, L"ICON_DISABLED");
    AddIconResource(module, L"ICON_ENABLED");
    AddFromPNGResources(module, L"RATING_TRUST");
    AddFromPNGResources(module, L"RATING_UNKNOWN");
    AddFromPNGResources(module, L"RATING_RISKY");
    FDefault = AddIconResource(module, L"ICON_FEATURE_DEF");
    FixInitialIcons();
}

int TFeatureIconList::AddGroup(const wchar_t* resourceName, std::initializer_list<const wchar_t*> names) {
    int index = AddIconResource(ThisModule(), resourceName);
    std::lock_guard lock(FItemsLock);
    for (const wchar_t* name : names)
        FItems[name] = index;
    FixInitialIcons();
    return index;
}

int TFeatureIconList::Get(const std::wstring& name) {
    std::lock_guard lock(FItemsLock);
    auto found = FItems.find(name);
    return found == FItems.end() ? -1 : found->second;
}

bool TFeatureIconList::Exists(const std::wstring& name) {
    return Get(name) >= 0;
}

int TFeatureIconList::GetByFile(const std::wstring& fileName) {
    std::lock_guard lock(FItemsLock);
    if (auto found = FFiles.find(fileName); found != FFiles.end()) {
        found->second.Used = true;
        return found->second.Index;
    }
    int index = AddPngImage(fileName);
    if (index >= 0)
        FFiles[fileName] = {index, true};
    return index;
}

void TFeatureIconList::FreeUnusedFileIcons() {
    std::lock_guard lock(FItemsLock);
    for (auto file = FFiles.begin(); file != FFiles.end();) {
        if (file->second.Used) {
            file->second.Used = false;
            ++file;
        } else {
            FreeIconIndex(file->second.Index);
            file = FFiles.erase(file);
        }
    }
}

} // namespace velmora
