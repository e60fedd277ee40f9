#pragma once
// Reading an engine's feature tree in the feature tests, as the front end
// does: through IFeatures and IFeature.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "tests/Polling.h"

#include <string>
#include <vector>

namespace velmora::testing {

inline std::wstring Text(IFeature* feature, void (STDMETHODCALLTYPE IFeature::*get)(BSTR*)) {
    unique_bstr text;
    (feature->*get)(text.put());
    return BstrText(text.get());
}

inline std::wstring Name(IFeature* feature) {
    return Text(feature, &IFeature::GetName);
}

// The children of a feature, or the top-level features of a list.
inline std::vector<TComPtr<IFeature>> Children(IFeature* feature) {
    std::vector<TComPtr<IFeature>> children(static_cast<size_t>(feature->GetChildCount()));
    for (size_t i = 0; i < children.size(); ++i)
        feature->GetChild(static_cast<int32_t>(i), children[i].put());
    return children;
}
inline std::vector<TComPtr<IFeature>> Children(IFeatures* features) {
    std::vector<TComPtr<IFeature>> tops(static_cast<size_t>(features->GetFeatureCount()));
    for (size_t i = 0; i < tops.size(); ++i)
        features->GetFeature(static_cast<int32_t>(i), tops[i].put());
    return tops;
}

// "name" for a leaf, "name(child,child)" for a group, children in list order;
// the top-level features separated by blanks.
inline std::wstring Outline(IFeature* feature) {
    std::wstring text;
    for (const TComPtr<IFeature>& child : Children(feature))
        text += (text.empty() ? L"(" : L",") + Outline(child.get());
    return Name(feature) + text + (text.empty() ? L"" : L")");
}
inline std::wstring Outline(IFeatures* features) {
    std::wstring text;
    for (const TComPtr<IFeature>& top : Children(features))
        text += (text.empty() ? L"" : L" ") + Outline(top.get());
    return text;
}

// One line a feature in pre-order, indented by its depth, as the tree shows it:
// name "display name" enabled|disabled actions=<set> rating=<icon> icon=<index>
inline void Lines(IFeature* feature, int depth, std::vector<std::wstring>& lines) {
    lines.push_back(Format(L"%s%s \"%s\" %s actions=%d rating=%d icon=%d", std::wstring(2 * depth, L' '),
                           Name(feature), Text(feature, &IFeature::GetDisplayName),
                           feature->GetEnabled() ? L"enabled" : L"disabled", feature->GetPossibleActions(),
                           feature->GetRatingImageIndex(), feature->GetFeatureImageIndex()));
    for (const TComPtr<IFeature>& child : Children(feature))
        Lines(child.get(), depth + 1, lines);
}
inline std::vector<std::wstring> Lines(IFeatures* features) {
    std::vector<std::wstring> lines;
    for (const TComPtr<IFeature>& top : Children(features))
        Lines(top.get(), 0, lines);
    return lines;
}

// The top-level feature of that name, or, below them, the first in pre-order;
// taken under the list's lock, as a watch may publish a new tree meanwhile.
inline TComPtr<IFeature> Find(IFeatures* features, const wchar_t* name) {
    TComPtr<IFeature> found;
    features->Lock();
    for (const TComPtr<IFeature>& top : Children(features))
        if (!found && Name(top.get()) == name)
            found = top;
        else if (!found)
            top->Find(name, found.put());
    features->Unlock();
    return found;
}

// Starts a read and waits for its end.
inline bool Read(IFeatures* features) {
    features->Refresh();
    return WaitUntil([&] { return features->GetReadState() == TReadState::rsLoaded; });
}

} // namespace velmora::testing
