#include "tools/doubles/ServicingXml.h"

#include "platform/ComText.h"
#include "platform/Handles.h"

namespace velmora::doubles {

namespace {

// The parser's classes, newest first; the import libraries do not carry them.
constexpr CLSID kDomDocument60 = {
    0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr CLSID kDomDocument30 = {
    0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};

TComPtr<IXMLDOMDocument> CreateDocument() {
    TComPtr<IXMLDOMDocument> document;
    for (const CLSID& id : {kDomDocument60, kDomDocument30})
        if (SUCCEEDED(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                       reinterpret_cast<void**>(document.put()))))
            return document;
    return {};
}

unique_bstr MakeBstr(std::wstring_view text) {
    return unique_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

} // namespace

std::wstring TXmlElement::LocalName() const {
    unique_bstr name;
    if (!FElement || FAILED(FElement->get_baseName(name.put())))
        return {};
    return BstrText(name.get());
}

std::vector<TXmlElement> TXmlElement::Children(std::wstring_view localName) const {
    std::vector<TXmlElement> children;
    if (!FElement)
        return children;
    TComPtr<IXMLDOMNode> node;
    for (FElement->get_firstChild(node.put()); node;) {
        TComPtr<IXMLDOMElement> element;
        if (SUCCEEDED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.put())))) {
            TXmlElement child(element);
            if (child.LocalName() == localName)
                children.push_back(std::move(child));
        }
        TComPtr<IXMLDOMNode> next;
        node->get_nextSibling(next.put());
        node = std::move(next);
    }
    return children;
}

TXmlElement TXmlElement::Child(std::wstring_view localName) const {
    std::vector<TXmlElement> children = Children(localName);
    return children.empty() ? TXmlElement() : children.front();
}

std::optional<std::wstring> TXmlElement::Attribute(std::wstring_view name) const {
    if (!FElement)
        return std::nullopt;
    unique_bstr bstrName = MakeBstr(name);
    unique_variant value;
    if (FElement->getAttribute(bstrName.get(), value.put()) != S_OK || value.get().vt != VT_BSTR)
        return std::nullopt;
    return BstrText(value.get().bstrVal);
}

TXmlElement LoadXmlFile(const std::wstring& path) {
    TComPtr<IXMLDOMDocument> document = CreateDocument();
    if (!document)
        return {};
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    unique_bstr bstrPath = MakeBstr(path);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = bstrPath.get();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (document->load(source, &loaded) != S_OK || loaded != VARIANT_TRUE)
        return {};
    TComPtr<IXMLDOMElement> root;
    document->get_documentElement(root.put());
    return TXmlElement(root);
}

} // namespace velmora::doubles
