#include "tools/velmora/FeatureReport.h"

#include "platform/Format.h"
#include "tools/velmora/ConsoleOutput.h"

#include <nlohmann/json.hpp>

namespace velmora::cli {

namespace {

using TJson = nlohmann::ordered_json;

template <class Visit> void PreOrder(const std::vector<TFeatureNode>& features, size_t depth, Visit& visit) {
    for (const TFeatureNode& feature : features) {
        visit(feature, depth);
        PreOrder(feature.Children, depth + 1, visit);
    }
}

std::wstring CountLine(const std::vector<TFeatureNode>& features) {
    size_t total = 0, enabled = 0;
    auto count = [&](const TFeatureNode& feature, size_t) {
        ++total;
        enabled += feature.Enabled;
    };
    PreOrder(features, 0, count);
    return Format(L"%d Windows features, %d enabled\n", total, enabled);
}

TJson JsonArray(const std::vector<TFeatureNode>& features) {
    TJson array = TJson::array();
    for (const TFeatureNode& feature : features)
        array.push_back({{"name", Narrow(feature.Name)},
                         {"displayName", Narrow(feature.DisplayName)},
                         {"enabled", feature.Enabled},
                         {"trusted", feature.Trusted},
                         {"description", Narrow(feature.Description)},
                         {"packageName", Narrow(feature.PackageName)},
                         {"children", JsonArray(feature.Children)}});
    return array;
}

} // namespace

std::wstring RenderFeatureTable(const std::vector<TFeatureNode>& features) {
    if (features.empty())
        return L"No Windows features found.\n";
    std::vector<TRecord> records;
    auto add = [&](const TFeatureNode& feature, size_t) {
        records.push_back({{L"name", L"Name", feature.Name},
                           {L"state", L"State", std::wstring(feature.Enabled ? L"Enabled" : L"Disabled")},
                           {L"trusted", L"Trusted", feature.Trusted},
                           {L"displayName", L"Display name", feature.DisplayName}});
    };
    PreOrder(features, 0, add);
    return RenderTable(records) + L"\n" + CountLine(features);
}

std::wstring RenderFeatureTree(const std::vector<TFeatureNode>& features) {
    if (features.empty())
        return L"No Windows features found.\n";
    std::wstring out;
    auto add = [&](const TFeatureNode& feature, size_t depth) {
        out += std::wstring(4 * depth, L' ') + (feature.Enabled ? L"[x] " : L"[ ] ");
        if (feature.DisplayName.empty() || feature.DisplayName == feature.Name)
            out += feature.Name;
        else
            out += feature.DisplayName + L" (" + feature.Name + L")";
        out += feature.Trusted ? L", trusted\n" : L"\n";
    };
    PreOrder(features, 0, add);
    return out + L"\n" + CountLine(features);
}

std::wstring RenderFeatureJson(const std::vector<TFeatureNode>& features) {
    return Widen(JsonArray(features).dump(2, ' ', false, TJson::error_handler_t::replace)) + L"\n";
}

} // namespace velmora::cli
