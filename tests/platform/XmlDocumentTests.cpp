// What an XML file may hold before it is parsed: the rule natively, and
// under Windows through loading a file.
#include "platform/XmlDocument.h"
#include "tests/TestBase.h"

#ifdef _WIN32
#include "platform/ComObject.h"
#include "platform/Paths.h"
#endif

using namespace velmora;

namespace {

std::string Nested(int depth, std::string_view leaf = "<leaf a='>'/>") {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    text += leaf;
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    return text;
}

std::string Utf16(std::string_view text, bool bigEndian) {
    std::string bytes;
    for (char c : text)
        bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
}

} // namespace

TEST(XmlDocument, DocumentTypeDefinitionsAndDeepNestingAreRefusedBeforeParsing) {
    const std::string entities = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaa\"><!ENTITY b "
                                 "\"&a;&a;&a;&a;\">]><r>&b;</r>";
    const struct {
        std::string Bytes;
        bool Refused;
    } cases[] = {
        {"<?xml version=\"1.0\"?><!-- <!DOCTYPE x> --><r><![CDATA[<!DOCTYPE <a><b>]]></r>", false},
        {entities, true},
        {"\xEF\xBB\xBF" + entities, true},
        {"\xFF\xFE" + Utf16(entities, false), true},
        {Utf16(entities, true), true},
        // The deepest nesting allowed, its self-closed leaf counted; a ">" in
        // an attribute value does not end the tag.
        {Nested(XmlMaxDepth - 1), false},
        {Nested(XmlMaxDepth), true},
        {"\xFF\xFE" + Utf16(Nested(XmlMaxDepth), false), true},
    };
#ifdef _WIN32
    const std::wstring fileName = TempFolder() + L"velmora-xml-test.xml";
#endif
    for (const auto& c : cases) {
        EXPECT_EQ(XmlRefusal(c.Bytes).has_value(), c.Refused) << c.Bytes.substr(0, 80);
#ifdef _WIN32
        { std::ofstream(std::filesystem::path(fileName), std::ios::binary) << c.Bytes; }
        TComApartmentGuard apartment;
        TXmlDocument document;
        if (c.Refused)
            EXPECT_THROW(document.Load(fileName), std::runtime_error) << c.Bytes.substr(0, 80);
        else
            EXPECT_NO_THROW(document.Load(fileName)) << c.Bytes.substr(0, 80);
#endif
    }
#ifdef _WIN32
    DeleteFileW(fileName.c_str());
#endif
}
