#include "components/rekova/Manifest.h"

#include "platform/Format.h"
#include "platform/Text.h"

#include <array>
#include <cwchar>

namespace velmora::rekova {

namespace {

constexpr std::array KindNames{L"file", L"new-file", L"folder", L"new-folder", L"moved-folder",
                               L"key",  L"new-key",  L"value",  L"service",    L"new-service"};

constexpr std::wstring_view HeaderId = L"Backup set";

std::vector<std::wstring_view> SplitTabs(std::wstring_view line) {
    std::vector<std::wstring_view> parts;
    for (size_t start = 0;;) {
        size_t tab = line.find(L'\t', start);
        parts.push_back(line.substr(start, tab == std::wstring_view::npos ? tab : tab - start));
        if (tab == std::wstring_view::npos)
            return parts;
        start = tab + 1;
    }
}

} // namespace

std::wstring_view RecordKindName(TRecordKind kind) {
    return KindNames[static_cast<size_t>(kind)];
}

std::optional<TRecordKind> RecordKindFromName(std::wstring_view name) {
    for (size_t i = 0; i < KindNames.size(); ++i)
        if (name == KindNames[i])
            return static_cast<TRecordKind>(i);
    return std::nullopt;
}

std::wstring TRecord::Field(std::wstring_view name) const {
    for (const auto& [key, value] : Fields)
        if (key == name)
            return value;
    return {};
}

void TRecord::SetField(std::wstring_view name, std::wstring value) {
    for (auto& [key, old] : Fields)
        if (key == name) {
            old = std::move(value);
            return;
        }
    Fields.emplace_back(std::wstring(name), std::move(value));
}

std::wstring EscapeText(std::wstring_view text) {
    static constexpr wchar_t Hex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'%' || c < 32) {
            out += L'%';
            out += Hex[(c >> 4) & 15];
            out += Hex[c & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring UnescapeText(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        int high = i + 2 < text.size() && text[i] == L'%' ? HexDigit(text[i + 1]) : -1;
        int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<wchar_t>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FormatManifest(const TManifest& manifest) {
    std::wstring text;
    auto header = [&text](std::wstring_view name, std::wstring_view value) {
        text += Format(L"%s: %s\r\n", name, EscapeText(value));
    };
    header(HeaderId, manifest.Id);
    header(L"Name", manifest.Name);
    header(L"Description", manifest.Description);
    header(L"Begun", manifest.Begun);
    header(L"Ended", manifest.Ended);
    header(L"Status", manifest.Status);
    header(L"Size", std::to_wstring(manifest.Size));
    header(L"Records", std::to_wstring(manifest.Records.size()));
    text += L"\r\n";
    for (size_t i = 0; i < manifest.Records.size(); ++i) {
        const TRecord& record = manifest.Records[i];
        text += Format(L"%d\t%s\t%s", static_cast<int64_t>(i + 1), RecordKindName(record.Kind),
                       EscapeText(record.Target));
        for (const auto& [name, value] : record.Fields)
            text += Format(L"\t%s=%s", name, EscapeText(value));
        text += L"\r\n";
    }
    return Narrow(text);
}

std::optional<TManifest> ParseManifest(std::string_view text) {
    TManifest manifest;
    bool inRecords = false;
    bool named = false;
    for (const std::wstring& line : SplitLines(Widen(text))) {
        if (!inRecords) {
            if (line.empty()) {
                inRecords = true;
                continue;
            }
            size_t colon = line.find(L": ");
            std::wstring_view name = std::wstring_view(line).substr(0, colon);
            std::wstring value =
                colon == std::wstring::npos ? std::wstring() : UnescapeText(line.substr(colon + 2));
            if (name == HeaderId) {
                manifest.Id = std::move(value);
                named = true;
            } else if (name == L"Name") {
                manifest.Name = std::move(value);
            } else if (name == L"Description") {
                manifest.Description = std::move(value);
            } else if (name == L"Begun") {
                manifest.Begun = std::move(value);
            } else if (name == L"Ended") {
                manifest.Ended = std::move(value);
            } else if (name == L"Status") {
                manifest.Status = std::move(value);
            } else if (name == L"Size") {
                manifest.Size = std::wcstoll(value.c_str(), nullptr, 10);
            }
            continue;
        }
        std::vector<std::wstring_view> parts = SplitTabs(line);
        if (parts.size() < 3)
            continue;
        std::optional<TRecordKind> kind = RecordKindFromName(parts[1]);
        if (!kind)
            continue;
        TRecord record{*kind, UnescapeText(parts[2]), {}};
        for (size_t i = 3; i < parts.size(); ++i) {
            size_t equals = parts[i].find(L'=');
            if (equals != std::wstring_view::npos)
                record.Fields.emplace_back(std::wstring(parts[i].substr(0, equals)),
                                           UnescapeText(parts[i].substr(equals + 1)));
        }
        manifest.Records.push_back(std::move(record));
    }
    if (!named)
        return std::nullopt;
    return manifest;
}

} // namespace velmora::rekova
