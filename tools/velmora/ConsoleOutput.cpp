#include "tools/velmora/ConsoleOutput.h"

#include "platform/Format.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora::cli {

std::wstring FormatSize(int64_t bytes) {
    if (bytes < 1024)
        return std::to_wstring(bytes) + L" B";
    static const wchar_t* units[] = {L"KB", L"MB", L"GB", L"TB", L"PB"};
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 4)
        value /= 1024, ++unit;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ", value);
    return Widen(text) + units[unit];
}

std::wstring ValueText(const TValue& value) {
    struct {
        std::wstring operator()(std::monostate) const { return {}; }
        std::wstring operator()(const std::wstring& s) const { return s; }
        std::wstring operator()(int64_t v) const { return std::to_wstring(v); }
        std::wstring operator()(double d) const { return FormatOleDate(d); }
        std::wstring operator()(bool b) const { return b ? L"yes" : L"no"; }
        std::wstring operator()(const std::vector<std::wstring>& list) const {
            std::wstring text;
            for (const std::wstring& entry : list)
                text += (text.empty() ? L"" : L", ") + entry;
            return text;
        }
        std::wstring operator()(const TNamedValue& named) const { return named.Name; }
        std::wstring operator()(TSize size) const { return size.Bytes > 0 ? FormatSize(size.Bytes) : L""; }
    } visit;
    return std::visit(visit, value);
}

void ExplainUsage(TRecord& record) {
    auto field = [&](std::wstring_view name) -> TValue* {
        auto found = std::ranges::find(record, name, &TField::Name);
        return found == record.end() ? nullptr : &found->Value;
    };
    const auto* usage = std::get_if<TNamedValue>(field(L"usedType"));
    TValue* lastUsed = field(L"lastUsedDate");
    const auto* date = std::get_if<double>(lastUsed);
    const auto* storeApp = std::get_if<bool>(field(L"storeApp"));
    if (usage && usage->Ordinal == static_cast<int64_t>(TUsedType::utNone) && date && *date > 0 && storeApp &&
        *storeApp)
        *lastUsed = FormatOleDate(*date) + L" (installed or updated)";
}

std::vector<std::wstring> ActionNames(TPossibleActionsSet actions) {
    static const wchar_t* names[] = {L"Uninstall",        L"Quiet uninstall",      L"Modify", L"Repair",
                                     L"Modify or remove", L"Remove from registry", L"Install"};
    std::vector<std::wstring> list;
    for (unsigned i = 0; i < sizeof names / sizeof names[0]; ++i)
        if (actions & (1u << i))
            list.emplace_back(names[i]);
    return list;
}

using TJson = nlohmann::ordered_json;

static void AddJsonField(TJson& object, const TField& field) {
    std::string name = Narrow(field.Name);
    struct {
        TJson& Object;
        const std::string& Name;
        void operator()(std::monostate) const { Object[Name] = nullptr; }
        void operator()(const std::wstring& text) const { Object[Name] = Narrow(text); }
        void operator()(int64_t number) const { Object[Name] = number; }
        void operator()(double date) const {
            std::wstring text = FormatOleDate(date);
            Object[Name] = text.empty() ? TJson(nullptr) : TJson(Narrow(text));
        }
        void operator()(bool flag) const { Object[Name] = flag; }
        void operator()(const std::vector<std::wstring>& list) const {
            TJson& array = Object[Name] = TJson::array();
            for (const std::wstring& entry : list)
                array.push_back(Narrow(entry));
        }
        void operator()(const TNamedValue& named) const {
            Object[Name] = named.Ordinal;
            Object[Name + "Name"] = Narrow(named.Name);
        }
        void operator()(TSize size) const { Object[Name] = size.Bytes; }
    } add{object, name};
    std::visit(add, field.Value);
}

static TJson JsonObject(const TRecord& record) {
    TJson object = TJson::object();
    for (const TField& field : record)
        AddJsonField(object, field);
    return object;
}

std::wstring RenderJsonObject(const TRecord& record) {
    return Widen(JsonObject(record).dump(2, ' ', false, TJson::error_handler_t::replace));
}

std::wstring RenderJson(const std::vector<TRecord>& records) {
    TJson array = TJson::array();
    for (const TRecord& record : records)
        array.push_back(JsonObject(record));
    return Widen(array.dump(2, ' ', false, TJson::error_handler_t::replace)) + L"\n";
}

static std::wstring Cut(const std::wstring& text, size_t width) {
    if (text.size() <= width)
        return text;
    return width <= 3 ? text.substr(0, width) : text.substr(0, width - 3) + L"...";
}

std::wstring RenderTable(const std::vector<TRecord>& records, size_t maxWidth) {
    if (records.empty())
        return {};
    const TRecord& first = records.front();
    std::vector<size_t> widths;
    for (const TField& field : first)
        widths.push_back(std::min(field.Title.size(), maxWidth));
    std::vector<std::vector<std::wstring>> cells;
    for (const TRecord& record : records) {
        auto& row = cells.emplace_back();
        for (size_t c = 0; c < first.size(); ++c) {
            row.push_back(c < record.size() ? Cut(ValueText(record[c].Value), maxWidth) : std::wstring());
            widths[c] = std::max(widths[c], row.back().size());
        }
    }
    auto line = [&](auto cellOf) {
        std::wstring text;
        for (size_t c = 0; c < widths.size(); ++c) {
            std::wstring cell = cellOf(c);
            text += cell;
            if (c + 1 < widths.size())
                text += std::wstring(widths[c] - cell.size() + 2, L' ');
        }
        while (!text.empty() && text.back() == L' ')
            text.pop_back();
        return text + L"\n";
    };
    std::wstring out = line([&](size_t c) { return Cut(first[c].Title, widths[c]); });
    out += line([&](size_t c) { return std::wstring(widths[c], L'-'); });
    for (auto& row : cells)
        out += line([&](size_t c) { return row[c]; });
    return out;
}

std::wstring RenderDetails(const TRecord& record) {
    size_t width = 0;
    for (const TField& field : record)
        width = std::max(width, field.Title.size());
    std::wstring out;
    for (const TField& field : record) {
        std::wstring head = field.Title + L":" + std::wstring(width - field.Title.size() + 1, L' ');
        if (auto* list = std::get_if<std::vector<std::wstring>>(&field.Value)) {
            for (size_t i = 0; i < list->size(); ++i)
                out += (i ? std::wstring(head.size(), L' ') : head) + (*list)[i] + L"\n";
            if (list->empty())
                out += head + L"\n";
        } else {
            out += head + ValueText(field.Value) + L"\n";
        }
    }
    return out;
}

} // namespace velmora::cli
