#include "locations/ServicingPackageRules.h"

#include "platform/Format.h"
#include "platform/Text.h"

#include <map>

namespace velmora {

namespace {

uint32_t StateCode(uint32_t value) {
    value %= 256;
    return (value & 0x0F) == 0 ? value >> 4 : value;
}

// Staged (4), installed (6, 7) and superseded (8) packages.
bool IsInstalledState(uint32_t code) {
    return code == 4 || code == 6 || code == 7 || code == 8;
}

bool IsFixedState(uint32_t code) {
    return code == 4 || code == 8;
}

} // namespace

std::optional<bool> InstalledPackageUninstallable(uint32_t currentState, uint32_t ownerState) {
    const uint32_t state = StateCode(currentState), owner = StateCode(ownerState);
    if (!IsInstalledState(state) || !IsInstalledState(owner))
        return std::nullopt;
    return !IsFixedState(state) && !IsFixedState(owner);
}

bool IsPermanentPackage(std::wstring_view permanence) {
    return SameText(permanence, L"permanent");
}

namespace {

// An element of a manifest as the scanner reads it.
struct TElement {
    std::string Name;
    std::map<std::string, std::string, std::less<>> Attributes;
    std::vector<size_t> Children;
};

// A small scanner of the XML that manifests use: elements, attributes with
// the predefined and numeric entities, and declarations, comments, CDATA
// and text, which it skips.
class TManifestScanner {
public:
    explicit TManifestScanner(std::string_view text) : FText(text) {}

    // The elements, the root first; empty when the text is not well formed.
    std::vector<TElement> Scan() {
        if (FText.starts_with("\xEF\xBB\xBF"))
            FAt = 3;
        std::vector<size_t> open;
        while (SkipTo('<')) {
            if (Skip("<?", "?>") || Skip("<!--", "-->") || Skip("<![CDATA[", "]]>") || Skip("<!", ">"))
                continue;
            if (Peek(1) == '/') {
                FAt += 2;
                std::string_view name = NameHere();
                SkipBlanks();
                if (open.empty() || name != FElements[open.back()].Name || !Take('>'))
                    return {};
                open.pop_back();
                continue;
            }
            ++FAt;
            // One root element only.
            if ((open.empty() && !FElements.empty()) || !StartTag(open))
                return {};
        }
        return open.empty() && !FFailed ? std::move(FElements) : std::vector<TElement>{};
    }

private:
    bool StartTag(std::vector<size_t>& open) {
        TElement element;
        element.Name = NameHere();
        if (element.Name.empty())
            return false;
        for (;;) {
            SkipBlanks();
            if (Take('>')) {
                Add(std::move(element), open, true);
                return true;
            }
            if (Take('/'))
                return Take('>') && (Add(std::move(element), open, false), true);
            std::string name(NameHere());
            SkipBlanks();
            if (name.empty() || !Take('='))
                return false;
            SkipBlanks();
            std::optional<std::string> value = QuotedValue();
            if (!value)
                return false;
            element.Attributes.emplace(std::move(name), std::move(*value));
        }
    }

    void Add(TElement element, std::vector<size_t>& open, bool stays) {
        const size_t index = FElements.size();
        if (!open.empty())
            FElements[open.back()].Children.push_back(index);
        FElements.push_back(std::move(element));
        if (stays)
            open.push_back(index);
    }

    std::optional<std::string> QuotedValue() {
        const char quote = Peek(0);
        if (quote != '"' && quote != '\'')
            return std::nullopt;
        const size_t end = FText.find(quote, ++FAt);
        if (end == std::string_view::npos)
            return std::nullopt;
        std::string_view raw = FText.substr(FAt, end - FAt);
        FAt = end + 1;
        std::string value;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<')
                return std::nullopt;
            if (raw[i] != '&') {
                value += raw[i] == '\t' || raw[i] == '\n' || raw[i] == '\r' ? ' ' : raw[i];
                continue;
            }
            const size_t semicolon = raw.find(';', i);
            if (semicolon == std::string_view::npos)
                return std::nullopt;
            std::optional<std::string> entity = Entity(raw.substr(i + 1, semicolon - i - 1));
            if (!entity)
                return std::nullopt;
            value += *entity;
            i = semicolon;
        }
        return value;
    }

    static std::optional<std::string> Entity(std::string_view name) {
        static const std::pair<std::string_view, char> named[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [entity, c] : named)
            if (name == entity)
                return std::string(1, c);
        if (name.size() < 2 || name[0] != '#')
            return std::nullopt;
        const bool hex = name[1] == 'x';
        uint32_t code = 0;
        std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        for (char c : digits) {
            int digit = hex ? HexDigit(static_cast<wchar_t>(c)) : (c >= '0' && c <= '9' ? c - '0' : -1);
            if (digit < 0)
                return std::nullopt;
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        }
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        std::string utf8;
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (code >> 12));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (code >> 18));
            utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
        return utf8;
    }

    std::string_view NameHere() {
        const size_t start = FAt;
        while (FAt < FText.size() && !IsBlank(FText[FAt]) &&
               std::string_view("=/>\"'<").find(FText[FAt]) == std::string_view::npos)
            ++FAt;
        return FText.substr(start, FAt - start);
    }
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void SkipBlanks() {
        while (FAt < FText.size() && IsBlank(FText[FAt]))
            ++FAt;
    }
    // Moves to the next '<'; text between elements is skipped.
    bool SkipTo(char c) {
        const size_t at = FText.find(c, FAt);
        FAt = at == std::string_view::npos ? FText.size() : at;
        return at != std::string_view::npos;
    }
    bool Skip(std::string_view start, std::string_view end) {
        if (FText.substr(FAt, start.size()) != start)
            return false;
        const size_t at = FText.find(end, FAt + start.size());
        if (at == std::string_view::npos) {
            FFailed = true;
            FAt = FText.size();
        } else {
            FAt = at + end.size();
        }
        return true;
    }
    char Peek(size_t ahead) const { return FAt + ahead < FText.size() ? FText[FAt + ahead] : '\0'; }
    bool Take(char c) {
        if (Peek(0) != c)
            return false;
        ++FAt;
        return true;
    }

    std::string_view FText;
    size_t FAt = 0;
    bool FFailed = false;
    std::vector<TElement> FElements;
};

} // namespace

std::optional<TServicingManifest> ParseServicingManifest(std::string_view text) {
    // UTF-16 and other encodings are left to the system's parser.
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
        text.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::vector<TElement> elements = TManifestScanner(text).Scan();
    if (elements.empty() || elements[0].Name != "assembly")
        return std::nullopt;
    auto child = [&](const TElement* parent, std::string_view name) -> const TElement* {
        if (parent)
            for (size_t index : parent->Children)
                if (elements[index].Name == name)
                    return &elements[index];
        return nullptr;
    };
    auto attribute = [](const TElement* element, std::string_view name) -> std::optional<std::wstring> {
        if (!element)
            return std::nullopt;
        auto it = element->Attributes.find(name);
        return it == element->Attributes.end() ? std::nullopt : std::optional(Widen(it->second));
    };
    const TElement* assembly = &elements[0];
    TServicingManifest manifest;
    manifest.DisplayName = attribute(assembly, "displayName");
    manifest.Description = attribute(assembly, "description");
    manifest.Company = attribute(assembly, "company");
    manifest.SupportInformation = attribute(assembly, "supportInformation");
    const TElement* identity = child(assembly, "assemblyIdentity");
    manifest.Name = attribute(identity, "name");
    manifest.Version = attribute(identity, "version");
    manifest.Language = attribute(identity, "language");
    const TElement* package = child(assembly, "package");
    manifest.Identifier = attribute(package, "identifier");
    manifest.ReleaseType = attribute(package, "releaseType");
    manifest.Permanence = attribute(package, "permanence");
    if (package)
        for (size_t index : package->Children) {
            if (!SameText(Widen(elements[index].Name), L"update"))
                continue;
            if (auto inner = attribute(child(child(&elements[index], "package"), "assemblyIdentity"), "name"))
                manifest.ContainedPackages.push_back(std::move(*inner));
        }
    return manifest;
}

} // namespace velmora
