#include "tools/velmora/Commands.h"

#include "platform/Format.h"
#include "tools/velmora/Console.h"
#include "tools/velmora/ExitCodes.h"
#include "tools/velmora/LineList.h"
#include "tools/velmora/ProductFields.h"
#include "tools/velmora/ProductLookup.h"
#include "tools/velmora/TerminalCallbacks.h"

#include <optional>

namespace velmora::cli {

namespace {

// The columns a person wants in a list; JSON gets every field.
std::vector<int32_t> TableColumns(TListKind kind) {
    if (kind == TListKind::Updates)
        return {piDisplayName, piUpdateID, piParentDisplayName, piInstallDate};
    return {piDisplayName, piDisplayVersion, piPublisher,   piEstimatedSize,
            piInstallDate, piUsedType,       piLastUsedDate};
}

TRecord TableRecord(IProduct& product, const std::vector<int32_t>& columns) {
    TRecord record;
    for (int32_t index : columns) {
        const TFieldInfo& info = AllFields()[index];
        record.push_back({info.Name, info.Title, ReadValue(product, index)});
    }
    return record;
}

// An update's state as its possible actions tell it: a package the system
// keeps (or a registry update without a command) cannot be uninstalled.
TField UninstallableField(IProduct& product) {
    return {L"uninstallable", L"Uninstallable",
            (product.GetPossibleActions() & ActionBit(TPossibleActions::paUninstall)) != 0};
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

// Every field of the product, then what the front end asks besides.
TRecord DetailRecord(IProduct& product, int32_t infoMask) {
    TRecord record = ReadRecord(product, infoMask);
    auto keys = MakeCom<TLineList, IVelmoraStrings>();
    product.GetRegistryKeys(keys.get());
    record.push_back({L"possibleActions", L"Possible actions", ActionNames(product.GetPossibleActions())});
    record.push_back({L"imageIndex", L"Icon index", static_cast<int64_t>(product.GetImageIndex())});
    record.push_back({L"registryKeys", L"Registry keys", static_cast<TLineList*>(keys.get())->Lines()});
    record.push_back(
        {L"installerMaybeCorrupted", L"Installer maybe corrupted", product.IsInstallerMaybeCorrupted()});
    return record;
}

TPossibleActions ActionOf(TCommand command) {
    switch (command) {
    case TCommand::QuietUninstall:
        return TPossibleActions::paUninstallQuiet;
    case TCommand::Modify:
        return TPossibleActions::paModify;
    case TCommand::Repair:
        return TPossibleActions::paRepair;
    case TCommand::Forget:
        return TPossibleActions::paRemoveFromRegistry;
    default:
        return TPossibleActions::paUninstall;
    }
}

// A product whose one command both modifies and removes (an uninstaller
// without separate modify or repair commands) offers that instead of
// Uninstall and Modify: both commands run it.
TPossibleActions OfferedAction(TPossibleActions wanted, TPossibleActionsSet offered) {
    const bool combined = wanted == TPossibleActions::paUninstall || wanted == TPossibleActions::paModify;
    if ((offered & ActionBit(wanted)) == 0 && combined &&
        (offered & ActionBit(TPossibleActions::paModifyRemove)) != 0)
        return TPossibleActions::paModifyRemove;
    return wanted;
}

std::wstring ActionName(TPossibleActions action) {
    auto names = ActionNames(ActionBit(action));
    return names.empty() ? std::wstring(L"unknown") : names.front();
}

// The adapter of a product whose item has left the inventory answers no name.
bool IsListed(IProduct& product) {
    return std::holds_alternative<std::wstring>(ReadValue(product, piDisplayName));
}

// Store apps are the only programs the library lists without registry keys.
TField StoreAppField(IProduct& product) {
    auto keys = MakeCom<TLineList, IVelmoraStrings>();
    product.GetRegistryKeys(keys.get());
    return {L"storeApp", L"Store app", static_cast<TLineList*>(keys.get())->Lines().empty()};
}

// Polls until done() holds or the timeout passes; false on timeout.
template <class Done> bool WaitFor(unsigned timeoutSeconds, Done&& done) {
    ULONGLONG deadline = GetTickCount64() + 1000ull * timeoutSeconds;
    while (!done()) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(200);
    }
    return true;
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
        if (!product)
            continue;
        records.push_back(args.Json ? ReadRecord(*product, mask)
                                    : TableRecord(*product, TableColumns(args.Kind)));
        records.back().push_back(args.Kind == TListKind::Updates ? UninstallableField(*product)
                                                                 : StoreAppField(*product));
        if (!args.Json)
            ExplainUsage(records.back());
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
        if (auto found = FindProducts(*collection, args.Name); !found.empty()) {
            record = DetailRecord(*found.front(), collection->GetInfoMask());
            if (kind == TListKind::Programs)
                record.push_back(StoreAppField(*found.front()));
            break;
        }
    }
    root->Stop();
    if (record.empty()) {
        WriteErr(Format(L"No installed program or update is named \"%s\".\n", args.Name));
        return kFailed;
    }
    if (!args.Json)
        ExplainUsage(record);
    WriteOut(args.Json ? RenderJsonObject(record) + L"\n" : RenderDetails(record));
    return kDone;
}

int RunProductAction(TVelmoraLibrary& library, const TArguments& args) {
    TComPtr<IVelmora> root = library.CreateRoot();
    if (!root) {
        WriteErr(library.Error() + L"\n");
        return kFailed;
    }
    // The library stops the action's wait (the uninstaller keeps running)
    // and lets go of the callbacks before this returns.
    TTerminalCallbacks callbacks(*root);
    auto finish = [&](int code) {
        root->Stop();
        return code;
    };

    root->Refresh();
    if (!WaitForInventory(*root, args.TimeoutSeconds))
        return finish(kFailed);
    std::vector<TComPtr<IProduct>> found = FindProgramOrUpdate(*root, args.Name);
    if (found.empty()) {
        WriteErr(Format(L"No installed program or update is named \"%s\".\n", args.Name));
        return finish(kNoProduct);
    }
    TComPtr<IProduct> product = found.front();

    const TPossibleActionsSet offered = product->GetPossibleActions();
    const TPossibleActions action = OfferedAction(ActionOf(args.Command), offered);
    if ((offered & ActionBit(action)) == 0) {
        std::wstring list;
        for (const auto& name : ActionNames(offered))
            list += (list.empty() ? L"" : L", ") + name;
        WriteErr(Format(L"\"%s\" does not offer %s; it offers: %s.\n", args.Name, ActionName(action),
                        list.empty() ? std::wstring(L"nothing") : list));
        return finish(kNotOffered);
    }

    WriteErr(Format(L"Running %s for \"%s\".\n", ActionName(action), args.Name));
    TPossibleActions running = action;
    HWND topWindow = nullptr;
    if (!product->RunAction(&running, &topWindow)) {
        WriteErr(
            Format(L"Another action (%s) is already running on \"%s\".\n", ActionName(running), args.Name));
        return finish(kOtherActionRunning);
    }
    ULONGLONG started = GetTickCount64();
    if (!WaitFor(args.TimeoutSeconds, [&] { return !product->IsActionRunning(); })) {
        WriteErr(Format(L"The action was still running after %d seconds; it is left running.\n",
                        args.TimeoutSeconds));
        return finish(kStillRunning);
    }
    WriteErr(Format(L"The action ended after %d ms.\n", static_cast<int64_t>(GetTickCount64() - started)));
    if (callbacks.ErrorReported())
        return finish(kCommandError);

    const bool removes = args.Command == TCommand::Uninstall || args.Command == TCommand::QuietUninstall ||
                         args.Command == TCommand::Forget;
    if (!removes) {
        WriteOut(Format(L"%s of \"%s\" done.\n", ActionName(action), args.Name));
        return finish(kDone);
    }
    if (!WaitFor(args.TimeoutSeconds, [&] { return !IsListed(*product); })) {
        WriteErr(Format(L"\"%s\" is still listed %d seconds after the action ended.\n", args.Name,
                        args.TimeoutSeconds));
        return finish(kStillListed);
    }
    WriteOut(Format(L"\"%s\" is no longer listed.\n", args.Name));
    return finish(kDone);
}

} // namespace velmora::cli
