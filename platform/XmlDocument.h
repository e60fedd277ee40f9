#pragma once
// The system's XML component (an MSXML DOM document) as a small tree: load or
// create a document, walk element children, read and write attributes, save.
// Callers run in a COM apartment (TComApartmentGuard). What a loaded file may
// hold is checked first, portably (XmlRefusal).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Elements nested deeper than this are refused.
inline constexpr int XmlMaxDepth = 256;
// Files larger than this are refused unread.
inline constexpr size_t XmlMaxFileSize = 64u << 20;

// Why a document's bytes (UTF-8, or UTF-16 after its byte-order mark or
// with its first "<" in either order) are refused before they are parsed: a
// document type definition, which could expand entities without end, or
// elements nested deeper than XmlMaxDepth. Nothing for an acceptable one;
// malformed markup is left to the parser.
std::optional<std::wstring> XmlRefusal(std::string_view bytes);

} // namespace velmora

#ifdef _WIN32
#include <windows.h>
#include <msxml2.h>

#include "platform/ComObject.h"

#include <vector>

namespace velmora {

class TXmlElement {
public:
    TXmlElement() = default;
    explicit TXmlElement(TComPtr<IXMLDOMElement> element) : FElement(std::move(element)) {}
    explicit operator bool() const { return static_cast<bool>(FElement); }

    std::wstring Name() const;
    // The name without its namespace prefix ("VisualElements" of "uap:VisualElements").
    std::wstring LocalName() const;
    // The text of the element and its descendants.
    std::wstring Text() const;
    // Child elements in document order (text and comments are skipped).
    std::vector<TXmlElement> Children() const;
    // Those named exactly name.
    std::vector<TXmlElement> Children(std::wstring_view name) const;
    // The first child element named exactly name; empty when there is none.
    TXmlElement Child(std::wstring_view name) const;
    // Empty when the attribute is missing.
    std::optional<std::wstring> Attribute(const std::wstring& name) const;
    void SetAttribute(const std::wstring& name, const std::wstring& value);
    TXmlElement AddChild(const std::wstring& name);

private:
    friend class TXmlDocument;
    TComPtr<IXMLDOMElement> FElement;
};

class TXmlDocument {
public:
    // A new empty document; throws when the system has no XML component.
    // Loading neither validates nor fetches anything a file refers to.
    TXmlDocument();
    // Throws with the parser's reason when the file cannot be loaded.
    void Load(const std::wstring& fileName);
    // The document element of a file; empty when it cannot be loaded.
    static TXmlElement LoadElement(const std::wstring& fileName);
    void Save(const std::wstring& fileName);
    // The document as text, the declaration included.
    std::wstring Xml() const;
    TXmlElement DocumentElement() const;
    // A new element that becomes the document element.
    TXmlElement CreateDocumentElement(const std::wstring& name);
    // Adds the declaration <?xml version="1.0"?> at the top.
    void AddDeclaration();

private:
    TComPtr<IXMLDOMDocument> FDocument;
};

} // namespace velmora
#endif
