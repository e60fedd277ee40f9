#include "platform/XmlDocument.h"

namespace velmora {

namespace {

// The markup as single bytes: UTF-16 code units outside ASCII become "x",
// which no markup rule looks for.
std::string MarkupBytes(std::string_view bytes) {
    const bool bigEndianMark = bytes.starts_with("\xFE\xFF");
    const bool utf16 =
        bigEndianMark || bytes.starts_with("\xFF\xFE") ||
        (bytes.size() >= 2 && ((bytes[0] == '<' && bytes[1] == 0) || (bytes[0] == 0 && bytes[1] == '<')));
    if (!utf16)
        return std::string(bytes);
    const bool bigEndian = bigEndianMark || bytes[0] == 0;
    std::string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto high = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        auto low = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        text += high == 0 && low < 0x80 ? static_cast<char>(low) : 'x';
    }
    return text;
}

} // namespace

std::optional<std::wstring> XmlRefusal(std::string_view bytes) {
    const std::string text = MarkupBytes(bytes);
    const std::string_view markup(text);
    int depth = 0;
    for (size_t at = markup.find('<'); at != markup.npos; at = markup.find('<', at)) {
        const std::string_view rest = markup.substr(at);
        // Comments, character data and processing instructions hold no markup.
        std::string_view end = rest.starts_with("<!--")        ? "-->"
                               : rest.starts_with("<![CDATA[") ? "]]>"
                               : rest.starts_with("<?")        ? "?>"
                                                               : "";
        if (!end.empty()) {
            at = markup.find(end, at + 2);
            if (at == markup.npos)
                return std::nullopt;
            at += end.size();
            continue;
        }
        if (rest.starts_with("<!"))
            return L"it has a document type definition";
        if (rest.starts_with("</")) {
            --depth;
            ++at;
            continue;
        }
        // A start tag ends at the first ">" outside its quoted attribute values.
        char quote = 0;
        size_t close = at + 1;
        for (; close < markup.size(); ++close) {
            const char c = markup[close];
            if (quote)
                quote = c == quote ? 0 : quote;
            else if (c == '"' || c == '\'')
                quote = c;
            else if (c == '>')
                break;
        }
        if (close == markup.size())
            return std::nullopt;
        if (depth + 1 > XmlMaxDepth)
            return L"its elements are nested deeper than " + std::to_wstring(XmlMaxDepth) + L" levels";
        if (markup[close - 1] != '/')
            ++depth;
        at = close + 1;
    }
    return std::nullopt;
}

} // namespace velmora
