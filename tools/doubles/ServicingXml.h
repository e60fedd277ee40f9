#pragma once
// The few reads of an XML document that the servicing doubles need, through
// the system's XML DOM (COM; the calling thread must be in an apartment).
#include "platform/ComObject.h"

#include <msxml2.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::doubles {

class TXmlElement {
public:
    TXmlElement() = default;
    explicit TXmlElement(TComPtr<IXMLDOMElement> element) : FElement(std::move(element)) {}

    explicit operator bool() const { return static_cast<bool>(FElement); }
    // The name without a namespace prefix.
    std::wstring LocalName() const;
    // The element children with that local name, in document order.
    std::vector<TXmlElement> Children(std::wstring_view localName) const;
    // The first such child; an empty element when there is none.
    TXmlElement Child(std::wstring_view localName) const;
    // The attribute's value; nothing when the element does not have it.
    std::optional<std::wstring> Attribute(std::wstring_view name) const;

private:
    TComPtr<IXMLDOMElement> FElement;
};

// The document element of an XML file; empty when the parser is missing or
// the file cannot be read or parsed.
TXmlElement LoadXmlFile(const std::wstring& path);

} // namespace velmora::doubles
