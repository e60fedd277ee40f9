#include "components/rekova/KeyTree.h"

#include "components/rekova/Manifest.h"
#include "platform/Format.h"
#include "platform/OSError.h"
#include "platform/Text.h"

#include <algorithm>
#include <map>
#include <vector>

namespace velmora::rekova {

namespace {

struct TKeyNode {
    std::vector<std::pair<std::wstring, TRegValue>> Values;
    std::vector<std::wstring> SubKeys;
};

std::wstring ValueLine(std::wstring_view name, const TRegValue& value) {
    static constexpr wchar_t Hex[] = L"0123456789abcdef";
    std::wstring line = Format(L"value\t%s\t%d\t", EscapeText(name), static_cast<uint32_t>(value.Type));
    for (BYTE b : value.Data) {
        line += Hex[b >> 4];
        line += Hex[b & 15];
    }
    return line + L"\r\n";
}

std::wstring Join(const std::wstring& path, std::wstring_view name) {
    return path.empty() ? std::wstring(name) : path + L"\\" + std::wstring(name);
}

void SaveKey(const TRegKey& key, const std::wstring& relative, const std::wstring& keyText,
             std::wstring& out) {
    out += L"key\t" + EscapeText(relative) + L"\r\n";
    if (!key.ForEachValue(
            [&out](const std::wstring& name, const TRegValue& value) { out += ValueLine(name, value); }))
        throw EOSError(Format(L"Cannot read the values of %s", keyText), GetLastError());
    for (const std::wstring& name : key.SubKeyNames().ToVector()) {
        TRegKey child = key.OpenSubKey(name, KEY_READ);
        if (!child)
            throw EOSError(Format(L"Cannot read %s\\%s", keyText, name), static_cast<DWORD>(child.Status()));
        SaveKey(child, Join(relative, name), keyText + L"\\" + name, out);
    }
}

std::vector<BYTE> HexBytes(std::wstring_view hex) {
    std::vector<BYTE> bytes(hex.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
    return bytes;
}

// Nodes by their path below the saved key, each listing its direct subkeys.
std::map<std::wstring, TKeyNode> ParseTree(std::string_view text) {
    std::map<std::wstring, TKeyNode> tree;
    std::wstring current;
    tree[current];
    for (const std::wstring& line : SplitLines(Widen(text))) {
        size_t first = line.find(L'\t');
        std::wstring_view kind = std::wstring_view(line).substr(0, first);
        if (first == std::wstring::npos)
            continue;
        if (kind == L"key") {
            current = UnescapeText(line.substr(first + 1));
            if (tree.try_emplace(current).second && !current.empty()) {
                size_t slash = current.find_last_of(L'\\');
                std::wstring parent = slash == std::wstring::npos ? std::wstring() : current.substr(0, slash);
                tree[parent].SubKeys.push_back(current.substr(slash == std::wstring::npos ? 0 : slash + 1));
            }
        } else if (kind == L"value") {
            size_t second = line.find(L'\t', first + 1);
            size_t third = second == std::wstring::npos ? second : line.find(L'\t', second + 1);
            if (third == std::wstring::npos)
                continue;
            TRegValue value{static_cast<DWORD>(std::wcstoul(line.c_str() + second + 1, nullptr, 10)),
                            HexBytes(std::wstring_view(line).substr(third + 1))};
            tree[current].Values.emplace_back(UnescapeText(line.substr(first + 1, second - first - 1)),
                                              std::move(value));
        }
    }
    return tree;
}

bool MakeEqual(const TRegKey& key, const std::wstring& relative,
               const std::map<std::wstring, TKeyNode>& tree) {
    const TKeyNode& node = tree.at(relative);
    bool complete = true;
    for (const std::wstring& name : key.ValueNames().ToVector())
        if (std::none_of(node.Values.begin(), node.Values.end(),
                         [&name](const auto& saved) { return SameText(saved.first, name); }))
            complete = key.DeleteValue(name) && complete;
    for (const auto& [name, value] : node.Values)
        complete = key.WriteValue(name, value) && complete;
    for (const std::wstring& name : key.SubKeyNames().ToVector())
        if (std::none_of(node.SubKeys.begin(), node.SubKeys.end(),
                         [&name](const std::wstring& saved) { return SameText(saved, name); }))
            complete = key.DeleteSubKey(name) && complete;
    for (const std::wstring& name : node.SubKeys) {
        TRegKey child = key.CreateSubKey(name);
        if (!child) {
            SetLastError(static_cast<DWORD>(child.Status()));
            complete = false;
            continue;
        }
        complete = MakeEqual(child, Join(relative, name), tree) && complete;
    }
    return complete;
}

} // namespace

std::string SaveKeyTree(const TRegistryKey& key) {
    TRegKey open = TRegKey::Open(key, KEY_READ);
    if (!open)
        throw EOSError(Format(L"Cannot read %s", key.Text()), static_cast<DWORD>(open.Status()));
    std::wstring text;
    SaveKey(open, {}, key.Text(), text);
    return Narrow(text);
}

std::string SaveValue(std::wstring_view name, const TRegValue& value) {
    return Narrow(L"key\t\r\n" + ValueLine(name, value));
}

std::optional<std::pair<std::wstring, TRegValue>> SavedValue(std::string_view text) {
    auto tree = ParseTree(text);
    const auto& values = tree[std::wstring()].Values;
    if (values.empty())
        return std::nullopt;
    return values.front();
}

bool ApplyKeyTree(const TRegistryKey& key, std::string_view text) {
    TRegKey open = TRegKey::Create(key.Root, key.Path, KEY_READ | KEY_WRITE, key.View);
    if (!open) {
        SetLastError(static_cast<DWORD>(open.Status()));
        return false;
    }
    return MakeEqual(open, {}, ParseTree(text));
}

} // namespace velmora::rekova
