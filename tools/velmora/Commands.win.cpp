#include "tools/velmora/Commands.h"

#include "frame/VelmoraStrings.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "tools/velmora/Console.h"
#include "tools/velmora/ProductFields.h"

namespace velmora::cli {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;

const wchar_t* ReadStateName(TReadState state) {
    switch (state) {
    case TReadState::rsNonw:
        return L"rsNonw";
    case TReadState::rsLoading:
        return L"rsLoading";
    case TReadState::rsLoaded:
        return L"rsLoaded";
    }
    return L"unknown";
}

// Polls the read state, showing each change, until the inventory is read.
bool WaitForInventory(IVelmora& root, unsigned timeoutSeconds) {
    ULONGLONG deadline = GetTickCount64() + 1000ull * timeoutSeconds;
    int shown = -1;
    for (;;) {
        TReadState state = root.GetReadState();
        if (static_cast<int>(state) != shown) {
            shown = static_cast<int>(state);
            WriteErr(Format(L"Read state: %s\n", ReadStateName(state)));
        }
        if (state == TReadState::rsLoaded)
            return true;
        if (GetTickCount64() > deadline) {
            WriteErr(Format(L"The inventory was not read within %d seconds.\n", timeoutSeconds));
            return false;
        }
        Sleep(100);
    }
}

TComPtr<IProductCollection> Collection(IVelmora& root, TListKind kind) {
    TComPtr<IProductCollection> collection;
    switch (kind) {
    case TListKind::Programs:
        root.GetPrograms(collection.put());
        break;
    case TListKind::Updates:
        root.GetUpdates(collection.put());
        break;
    case TListKind::Unused:
        root.GetUnusedPrograms(collection.put());
        break;
    }
    return collection;
}

// The columns a person wants in a list; JSON gets every field.
std::vector<int32_t> TableColumns(TListKind kind) {
    if (kind == TListKind::Updates)
        return {piDisplayName, piUpdateID, piParentDisplayName, piInstallDate};
    return {piDisplayName, piDisplayVersion, piPublisher, piEstimatedSize, piInstallDate};
}

TRecord TableRecord(IProduct& product, const std::vector<int32_t>& columns) {
    TRecord record;
    for (int32_t index : columns) {
        const TFieldInfo& info = AllFields()[index];
        TValue value = ReadValue(product, index);
        if (index == piEstimatedSize)
            if (auto* bytes = std::get_if<int64_t>(&value))
                value = *bytes > 0 ? FormatSize(*bytes) : std::wstring();
        record.push_back({info.Name, info.Title, value});
    }
    return record;
}

const wchar_t* KindName(TListKind kind) {
    switch (kind) {
    case TListKind::Programs:
        return L"installed programs";
    case TListKind::Updates:
        return L"installed updates";
    case TListKind::Unused:
        return L"rarely used programs";
    }
    return L"";
}

// The first product of the collection whose display name is name.
TComPtr<IProduct> FindProduct(IProductCollection& collection, const std::wstring& name) {
    TComPtr<IProduct> found;
    collection.Lock();
    for (int32_t i = 0, n = collection.GetCount(); i < n && !found; ++i) {
        TComPtr<IProduct> product;
        collection.GetItem(i, product.put());
        if (product) {
            TValue display = ReadValue(*product, piDisplayName);
            if (auto* text = std::get_if<std::wstring>(&display); text && SameText(*text, name))
                found = product;
        }
    }
    collection.Unlock();
    return found;
}

// Every field of the product, then what the front end asks besides.
TRecord DetailRecord(IProduct& product, int32_t infoMask) {
    TRecord record = ReadRecord(product, infoMask);
    auto keys = MakeCom<TVelmoraStrings, IVelmoraStrings>();
    product.GetRegistryKeys(keys.get());
    record.push_back({L"possibleActions", L"Possible actions", ActionNames(product.GetPossibleActions())});
    record.push_back({L"imageIndex", L"Icon index", static_cast<int64_t>(product.GetImageIndex())});
    record.push_back({L"registryKeys", L"Registry keys", static_cast<TVelmoraStrings*>(keys.get())->Lines()});
    record.push_back(
        {L"installerMaybeCorrupted", L"Installer maybe corrupted", product.IsInstallerMaybeCorrupted()});
    return record;
}

} // namespace

int RunVersion(TVelmoraLibrary& library) {
    std::wstring version = library.Version();
    if (version.empty()) {
        WriteErr(L"VelmoraHelper.dll did not report its version.\n");
        return kFailed;
    }
    WriteOut(Format(L"VelmoraHelper.dll %s\n%s\n", version, library.Path()));
    return kDone;
}

int RunList(TVelmoraLibrary& library, const TArguments& args) {
    TComPtr<IVelmora> root = library.CreateRoot();
    if (!root) {
        WriteErr(library.Error() + L"\n");
        return kFailed;
    }
    root->Refresh();
    bool read = WaitForInventory(*root, args.TimeoutSeconds);
    if (!read) {
        root->Stop();
        return kFailed;
    }
    TComPtr<IProductCollection> collection = Collection(*root, args.Kind);
    if (!collection) {
        WriteErr(L"The library returned no collection.\n");
        root->Stop();
        return kFailed;
    }
    std::vector<TRecord> records;
    int32_t mask = collection->GetInfoMask();
    collection->Lock();
    for (int32_t i = 0, n = collection->GetCount(); i < n; ++i) {
        TComPtr<IProduct> product;
        collection->GetItem(i, product.put());
        if (product)
            records.push_back(args.Json ? ReadRecord(*product, mask)
                                        : TableRecord(*product, TableColumns(args.Kind)));
    }
    collection->Unlock();
    root->Stop();

    if (args.Json)
        WriteOut(RenderJson(records));
    else if (records.empty())
        WriteOut(Format(L"No %s found.\n", KindName(args.Kind)));
    else
        WriteOut(RenderTable(records) + Format(L"\n%d %s\n", records.size(), KindName(args.Kind)));
    return kDone;
}

int RunShow(TVelmoraLibrary& library, const TArguments& args) {
    TComPtr<IVelmora> root = library.CreateRoot();
    if (!root) {
        WriteErr(library.Error() + L"\n");
        return kFailed;
    }
    root->Refresh();
    if (!WaitForInventory(*root, args.TimeoutSeconds)) {
        root->Stop();
        return kFailed;
    }
    TRecord record;
    for (TListKind kind : {TListKind::Programs, TListKind::Updates}) {
        TComPtr<IProductCollection> collection = Collection(*root, kind);
        if (!collection)
            continue;
        if (TComPtr<IProduct> product = FindProduct(*collection, args.Name)) {
            record = DetailRecord(*product, collection->GetInfoMask());
            break;
        }
    }
    root->Stop();
    if (record.empty()) {
        WriteErr(Format(L"No installed program or update is named \"%s\".\n", args.Name));
        return kFailed;
    }
    WriteOut(args.Json ? RenderJsonObject(record) + L"\n" : RenderDetails(record));
    return kDone;
}

} // namespace velmora::cli
