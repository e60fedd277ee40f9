#pragma once
// Rendering of the Windows features tree: a flat table, an indented tree for
// people, JSON for scripts. No Windows API here.
#include <string>
#include <vector>

namespace velmora::cli {

// One feature as the front end read it, with its children.
struct TFeatureNode {
    std::wstring Name;
    std::wstring DisplayName;
    std::wstring Description;
    std::wstring PackageName;
    bool Enabled = false;
    bool Trusted = false;
    std::vector<TFeatureNode> Children;
};

// Every feature, parents before their children, in columns: name, state,
// trusted, display name; then a count line.
std::wstring RenderFeatureTable(const std::vector<TFeatureNode>& features);
// "[x] Display name (Name)" lines ("[ ]" when disabled, ", trusted" when
// trusted), children indented under their parent; then a count line.
std::wstring RenderFeatureTree(const std::vector<TFeatureNode>& features);
// An array of {name, displayName, enabled, trusted, description,
// packageName, children: [...]}.
std::wstring RenderFeatureJson(const std::vector<TFeatureNode>& features);

} // namespace velmora::cli
