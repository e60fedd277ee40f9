#include "inventory/ItemFolder.h"

#include "frame/Globals.h"
#include "inventory/ExeRules.h"
#include "msi/MsiShortcut.h"
#include "platform/FileVersionInfo.h"
#include "platform/Format.h"
#include "platform/LibraryGlobal.h"
#include "platform/Paths.h"
#include "platform/Shortcut.h"
#include "platform/Text.h"

#include <windows.h>

#include <cstdint>
#include <mutex>

namespace velmora {

namespace {

struct TCatalogue {
    std::recursive_mutex Mutex;
    TItemFolder::TItems Items;
};

// Created on first use, freed when the library is unloaded.
TCatalogue& Catalogue() {
    static TLibraryGlobal<TCatalogue> catalogue;
    return *catalogue;
}

using TCatalogueLock = std::lock_guard<std::recursive_mutex>;

// What AddItem and AddLink do to a file name found in a shortcut, the
// registry or a usage record.
std::wstring ResolveFileName(std::wstring_view fileName) {
    std::wstring path(fileName);
    if (!path.empty()) {
        std::wstring found = SearchPath(path);
        if (!found.empty())
            path = found;
    }
    return CheckFileX64(PrepareFileName(path));
}

} // namespace

std::wstring TItemFolder::ExecutedFile() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FExecutedFile;
}

std::wstring TItemFolder::LinkFile() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FLinkFile;
}

std::wstring TItemFolder::LinkName() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FLinkName;
}

std::wstring TItemFolder::CompanyName() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FCompanyName;
}

std::wstring TItemFolder::ProductName() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FProductName;
}

std::wstring TItemFolder::ProductVersion() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FProductVersion;
}

std::wstring TItemFolder::IconLocation() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FIconLocation;
}

std::wstring TItemFolder::Translations() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FTranslations;
}

bool TItemFolder::ResourceReaded() const {
    TCatalogueLock lock(Catalogue().Mutex);
    return FResourceReaded;
}

void TItemFolder::Lock() {
    Catalogue().Mutex.lock();
}

void TItemFolder::Unlock() {
    Catalogue().Mutex.unlock();
}

const TItemFolder::TItems& TItemFolder::Items() {
    return Catalogue().Items;
}

TItemFolder* TItemFolder::AddItem(std::wstring_view fileName) {
    const std::wstring path = ResolveFileName(fileName);
    if (path.empty() || !FileExists(path))
        return nullptr;
    if (SameText(ExtractFileExt(path), L".lnk"))
        return AddLink(path);

    TCatalogue& catalogue = Catalogue();
    TCatalogueLock lock(catalogue.Mutex);
    for (const auto& item : catalogue.Items) {
        if (SameText(item->FExecutedFile, path))
            return item.get();
    }
    auto item = std::make_unique<TItemFolder>();
    item->FExecutedFile = path;
    catalogue.Items.push_back(std::move(item));
    return catalogue.Items.back().get();
}

TItemFolder* TItemFolder::AddLink(std::wstring_view linkFile) {
    const std::wstring link(linkFile);
    TCatalogue& catalogue = Catalogue();
    // Every scan meets the same shortcuts again: one already resolved is not
    // read a second time (the outcome would be the same entry, unchanged).
    {
        TCatalogueLock lock(catalogue.Mutex);
        for (const auto& item : catalogue.Items) {
            if (SameText(item->FLinkFile, link) && !item->FExecutedFile.empty())
                return item.get();
        }
    }

    const TLnkFileInfo info(link);

    std::wstring target = AdvertisedShortcutTarget(link);
    if (target.empty())
        target = ResolveFileName(info.TargetPath());

    std::wstring icon = info.IconLocation();
    if (!icon.empty())
        icon += Format(L",%d", info.IconIndex());

    std::wstring fileName = ExtractFileName(link);
    fileName.resize(fileName.size() - ExtractFileExt(fileName).size());
    const std::wstring linkName = CleanName(fileName);

    TCatalogueLock lock(catalogue.Mutex);
    TItemFolder* entry = nullptr;
    for (const auto& item : catalogue.Items) {
        if (SameText(item->FLinkFile, link)) {
            entry = item.get();
            break;
        }
    }
    if (!entry && !target.empty()) {
        for (const auto& item : catalogue.Items) {
            if (SameText(item->FExecutedFile, target)) {
                if (item->FLinkName.empty() || SameText(item->FLinkName, linkName))
                    entry = item.get();
                break;
            }
        }
    }
    if (!entry) {
        auto item = std::make_unique<TItemFolder>();
        item->FLinkFile = link;
        item->FLinkName = linkName;
        item->FIconLocation = icon;
        catalogue.Items.push_back(std::move(item));
        entry = catalogue.Items.back().get();
    }
    if (entry->FExecutedFile.empty() && !target.empty())
        entry->FExecutedFile = target;
    return entry;
}

TItemFolder* TItemFolder::SearchForExecutable(std::wstring_view displayName,
                                              std::wstring_view installLocation) {
    TCatalogue& catalogue = Catalogue();
    TCatalogueLock lock(catalogue.Mutex);
    auto best = ChooseExecutable(displayName, installLocation, catalogue.Items.size(), [&](size_t i) {
        const TItemFolder& item = *catalogue.Items[i];
        return TExeRecord{item.FExecutedFile, item.FLinkFile, item.FLinkName};
    });
    if (!best)
        return nullptr;
    TItemFolder* item = catalogue.Items[*best].get();
    item->ReadResource();
    return item;
}

void TItemFolder::ReadResource() {
    TCatalogueLock lock(Catalogue().Mutex);
    if (FResourceReaded)
        return;
    const TFileVersionInfo info(FExecutedFile);
    if (FProductName.empty())
        FProductName = info.GetValue(L"ProductName");
    if (FCompanyName.empty())
        FCompanyName = info.GetValue(L"CompanyName");
    if (FProductVersion.empty()) {
        FProductVersion = info.GetValue(L"ProductVersion");
        if (FProductVersion.empty())
            FProductVersion = info.GetValue(L"FileVersion");
    }
    FTranslations = DLLGlobals::LocaleIDListToString(info.Languages());
    FResourceReaded = true;
}

} // namespace velmora
