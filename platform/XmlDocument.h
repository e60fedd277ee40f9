#pragma once
// The system's XML component (an MSXML DOM document) as a small tree: load or
// create a document, walk element children, read and write attributes, save.
// Callers run in a COM apartment (TComApartmentGuard).
#include <windows.h>
#include <msxml2.h>

#include "platform/ComObject.h"

#include <optional>
#include <string>
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
