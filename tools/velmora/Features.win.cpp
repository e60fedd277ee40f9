// features, feature enable, disable and remove: the Windows features tree
// through IFeatures, read, switched and (a store app) removed for all users
// as the suite's front end does.
#include "tools/velmora/Commands.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "tools/velmora/Console.h"
#include "tools/velmora/ExitCodes.h"
#include "tools/velmora/FeatureReport.h"
#include "tools/velmora/TerminalCallbacks.h"

namespace velmora::cli {

namespace {

template <class Get> std::wstring TextOf(Get get) {
    unique_bstr text;
    get(text.put());
    return BstrText(text.get());
}

std::wstring NameOf(IFeature& feature) {
    return TextOf([&](BSTR* text) { feature.GetName(text); });
}

TFeatureNode ReadNode(IFeature& feature) {
    TFeatureNode node;
    node.Name = NameOf(feature);
    node.DisplayName = TextOf([&](BSTR* text) { feature.GetDisplayName(text); });
    node.Description = TextOf([&](BSTR* text) { feature.GetDescription(text); });
    node.PackageName = TextOf([&](BSTR* text) { feature.GetPackageName(text); });
    node.Enabled = feature.GetEnabled();
    node.Trusted = feature.GetTrusted();
    feature.Lock();
    for (int32_t i = 0, n = feature.GetChildCount(); i < n; ++i) {
        TComPtr<IFeature> child;
        feature.GetChild(i, child.put());
        if (child)
            node.Children.push_back(ReadNode(*child));
    }
    feature.Unlock();
    return node;
}

std::vector<TFeatureNode> ReadTree(IFeatures& features) {
    std::vector<TFeatureNode> tree;
    features.Lock();
    for (int32_t i = 0, n = features.GetFeatureCount(); i < n; ++i) {
        TComPtr<IFeature> feature;
        features.GetFeature(i, feature.put());
        if (feature)
            tree.push_back(ReadNode(*feature));
    }
    features.Unlock();
    return tree;
}

// The feature of that name at any depth; empty when there is none.
TComPtr<IFeature> FindFeature(IFeatures& features, const std::wstring& name) {
    TComPtr<IFeature> found;
    features.Lock();
    for (int32_t i = 0, n = features.GetFeatureCount(); i < n && !found; ++i) {
        TComPtr<IFeature> top;
        features.GetFeature(i, top.put());
        if (!top)
            continue;
        if (NameOf(*top) == name)
            found = top;
        else
            top->Find(name.c_str(), found.put());
    }
    features.Unlock();
    return found;
}

// Waits until a read has ended; false (and a message) after the timeout.
bool WaitUntilRead(IFeatures& features, unsigned timeoutSeconds) {
    const ULONGLONG deadline = GetTickCount64() + 1000ull * timeoutSeconds;
    while (features.GetReadState() != TReadState::rsLoaded) {
        if (GetTickCount64() > deadline) {
            WriteErr(Format(L"The Windows features were not read within %d seconds.\n", timeoutSeconds));
            return false;
        }
        Sleep(100);
    }
    return true;
}

TComPtr<IFeatures> FeaturesOf(TVelmoraLibrary& library, TComPtr<IVelmora>& root) {
    root = library.CreateRoot();
    if (!root) {
        WriteErr(library.Error() + L"\n");
        return {};
    }
    TComPtr<IFeatures> features;
    root->GetFeatures(features.put());
    if (!features)
        WriteErr(L"The library returned no Windows features.\n");
    return features;
}

// Waits for the switch the library runs, a dot on standard error each
// second; false (and a message) after the timeout.
bool WaitForSwitch(IFeatures& features, unsigned timeoutSeconds) {
    const ULONGLONG started = GetTickCount64();
    ULONGLONG dots = 0;
    while (features.GetInstallState() != TInstallState::isNone) {
        ULONGLONG elapsed = GetTickCount64() - started;
        if (elapsed > 1000ull * timeoutSeconds) {
            WriteErr(Format(L"\nThe switch was still running after %d seconds; it is left running.\n",
                            timeoutSeconds));
            return false;
        }
        for (; dots < elapsed / 1000; ++dots)
            WriteErr(L".");
        Sleep(100);
    }
    WriteErr(Format(L" ended after %d ms.\n", static_cast<int64_t>(GetTickCount64() - started)));
    return true;
}

// Waits until the tree has been read again after the switch. The library's
// change polling (driven by GetStateStamp) re-reads it when the servicing
// data changes; a change made while the switch ran may go unreported, so
// when no read has started after a few seconds one is started here.
bool WaitForReadAfterSwitch(IFeatures& features, unsigned timeoutSeconds) {
    const ULONGLONG switched = GetTickCount64();
    const uint64_t stampAtSwitch = features.GetStateStamp();
    bool readStarted = false;
    for (;;) {
        const bool changed = features.GetStateStamp() != stampAtSwitch;
        const TReadState state = features.GetReadState();
        readStarted = readStarted || changed || state == TReadState::rsLoading;
        if (readStarted && state == TReadState::rsLoaded)
            return true;
        const ULONGLONG elapsed = GetTickCount64() - switched;
        if (!readStarted && elapsed > 3000) {
            features.Refresh();
            readStarted = true;
        }
        if (elapsed > 1000ull * timeoutSeconds) {
            WriteErr(
                Format(L"The Windows features were not read again within %d seconds.\n", timeoutSeconds));
            return false;
        }
        Sleep(200);
    }
}

// The quiet uninstall of a feature that offers it (a store app), then the
// tree read again.
int RemoveForAllUsers(IFeatures& features, IFeature& feature, const TArguments& args,
                      TTerminalCallbacks& callbacks) {
    if (!(feature.GetPossibleActions() & ActionBit(TPossibleActions::paUninstallQuiet))) {
        WriteErr(Format(L"\"%s\" cannot be removed for all users.\n", args.Name));
        return kNotOffered;
    }
    WriteErr(Format(L"Removing \"%s\" for all users", args.Name));
    TPossibleActions action = TPossibleActions::paUninstallQuiet;
    HWND window = nullptr;
    if (!feature.RunAction(&action, &window)) {
        WriteErr(L"\nAnother feature switch is running.\n");
        return kOtherActionRunning;
    }
    if (!WaitForSwitch(features, args.TimeoutSeconds))
        return kStillRunning;
    if (callbacks.ErrorReported())
        return kCommandError;
    if (!WaitForReadAfterSwitch(features, args.TimeoutSeconds))
        return kFailed;
    if (!FindFeature(features, args.Name)) {
        WriteOut(Format(L"\"%s\" is removed.\n", args.Name));
        return kDone;
    }
    WriteErr(Format(L"\"%s\" is still listed after the removal.\n", args.Name));
    return kStillListed;
}

} // namespace

int RunFeatures(TVelmoraLibrary& library, const TArguments& args) {
    TComPtr<IVelmora> root;
    TComPtr<IFeatures> features = FeaturesOf(library, root);
    if (!features)
        return kFailed;
    if (args.ShowHidden)
        features->SetShowHidden(true);
    features->Refresh();
    const bool read = WaitUntilRead(*features, args.TimeoutSeconds);
    std::vector<TFeatureNode> tree;
    if (read)
        tree = ReadTree(*features);
    features->Stop();
    if (!read)
        return kFailed;
    WriteOut(args.Json   ? RenderFeatureJson(tree)
             : args.Tree ? RenderFeatureTree(tree)
                         : RenderFeatureTable(tree));
    return kDone;
}

int RunFeatureSwitch(TVelmoraLibrary& library, const TArguments& args) {
    TComPtr<IVelmora> root;
    TComPtr<IFeatures> features = FeaturesOf(library, root);
    if (!features)
        return kFailed;
    TTerminalCallbacks callbacks(*root);
    auto finish = [&](int code) {
        features->Stop();
        return code;
    };

    const bool enable = args.Command == TCommand::FeatureEnable;
    const wchar_t* wanted = enable ? L"enabled" : L"disabled";
    features->Refresh();
    if (!WaitUntilRead(*features, args.TimeoutSeconds))
        return finish(kFailed);
    TComPtr<IFeature> feature = FindFeature(*features, args.Name);
    if (!feature) {
        WriteErr(Format(L"No Windows feature is named \"%s\".\n", args.Name));
        return finish(kNoFeature);
    }
    if (args.Command == TCommand::FeatureRemove)
        return finish(RemoveForAllUsers(*features, *feature, args, callbacks));
    if (feature->GetEnabled() == enable) {
        WriteOut(Format(L"\"%s\" is already %s.\n", args.Name, wanted));
        return finish(kDone);
    }

    WriteErr(Format(L"%s \"%s\"", enable ? L"Enabling" : L"Disabling", args.Name));
    if (enable)
        features->InstallFeature(feature.get());
    else
        features->UninstallFeature(feature.get());
    if (!WaitForSwitch(*features, args.TimeoutSeconds))
        return finish(kStillRunning);
    if (callbacks.ErrorReported())
        return finish(kCommandError);
    if (!WaitForReadAfterSwitch(*features, args.TimeoutSeconds))
        return finish(kFailed);

    TComPtr<IFeature> after = FindFeature(*features, args.Name);
    if (after && after->GetEnabled() != enable) {
        // The read that followed may have been one of the store apps alone
        // (their collection changed meanwhile): a full one tells for sure.
        features->Refresh();
        if (!WaitUntilRead(*features, args.TimeoutSeconds))
            return finish(kFailed);
        after = FindFeature(*features, args.Name);
    }
    if (after && after->GetEnabled() == enable) {
        WriteOut(Format(L"\"%s\" is now %s.\n", args.Name, wanted));
        return finish(kDone);
    }
    WriteErr(after ? Format(L"\"%s\" is still %s after the switch.\n", args.Name,
                            enable ? L"disabled" : L"enabled")
                   : Format(L"\"%s\" is no longer listed after the switch.\n", args.Name));
    return finish(kFeatureUnchanged);
}

} // namespace velmora::cli
