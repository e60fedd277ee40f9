#include "platform/XmlDocument.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/OSError.h"
#include "platform/Text.h"

#include <algorithm>
#include <stdexcept>

namespace velmora {

namespace {

// MSXML 6 where present, else 3 (the two that every Windows since XP has).
constexpr CLSID DOMDocument60 = {
    0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr CLSID DOMDocument30 = {
    0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};

// Not in the import libraries.
constexpr IID IID_XmlDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

TComPtr<IXMLDOMElement> AsElement(IXMLDOMNode* node) {
    TComPtr<IXMLDOMElement> element;
    if (node)
        node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.put()));
    return element;
}

} // namespace

std::wstring TXmlElement::Name() const {
    unique_bstr name;
    CheckHResult(FElement->get_nodeName(name.put()), L"XML node name");
    return name ? std::wstring(name.get()) : std::wstring();
}

std::wstring TXmlElement::LocalName() const {
    std::wstring name = Name();
    return name.substr(name.find(L':') + 1);
}

std::wstring TXmlElement::Text() const {
    unique_bstr text;
    CheckHResult(FElement->get_text(text.put()), L"XML element text");
    return text ? std::wstring(text.get()) : std::wstring();
}

std::vector<TXmlElement> TXmlElement::Children() const {
    std::vector<TXmlElement> result;
    TComPtr<IXMLDOMNode> node;
    FElement->get_firstChild(node.put());
    while (node) {
        if (auto element = AsElement(node.get()))
            result.emplace_back(std::move(element));
        TComPtr<IXMLDOMNode> next;
        node->get_nextSibling(next.put());
        node = std::move(next);
    }
    return result;
}

std::vector<TXmlElement> TXmlElement::Children(std::wstring_view name) const {
    std::vector<TXmlElement> named;
    for (auto& child : Children())
        if (child.Name() == name)
            named.push_back(std::move(child));
    return named;
}

TXmlElement TXmlElement::Child(std::wstring_view name) const {
    if (!FElement)
        return {};
    for (auto& child : Children())
        if (child.Name() == name)
            return child;
    return {};
}

std::optional<std::wstring> TXmlElement::Attribute(const std::wstring& name) const {
    unique_variant value;
    unique_bstr bname(SysAllocString(name.c_str()));
    if (FElement->getAttribute(bname.get(), value.put()) != S_OK || V_VT(&value.get()) != VT_BSTR)
        return std::nullopt;
    BSTR text = V_BSTR(&value.get());
    return text ? std::wstring(text) : std::wstring();
}

void TXmlElement::SetAttribute(const std::wstring& name, const std::wstring& value) {
    unique_bstr bname(SysAllocString(name.c_str()));
    unique_variant text;
    SetVariantText(text.put(), value);
    CheckHResult(FElement->setAttribute(bname.get(), text.get()), L"XML attribute");
}

TXmlElement TXmlElement::AddChild(const std::wstring& name) {
    TComPtr<IXMLDOMDocument> document;
    CheckHResult(FElement->get_ownerDocument(document.put()), L"XML document");
    TComPtr<IXMLDOMElement> child;
    unique_bstr bname(SysAllocString(name.c_str()));
    CheckHResult(document->createElement(bname.get(), child.put()), L"XML element");
    TComPtr<IXMLDOMNode> added;
    CheckHResult(FElement->appendChild(child.get(), added.put()), L"XML child");
    return TXmlElement(std::move(child));
}

TXmlDocument::TXmlDocument() {
    HRESULT hr = CoCreateInstance(DOMDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(FDocument.put()));
    if (FAILED(hr))
        hr = CoCreateInstance(DOMDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              reinterpret_cast<void**>(FDocument.put()));
    CheckHResult(hr, L"XML document");
    FDocument->put_async(VARIANT_FALSE);
    FDocument->put_validateOnParse(VARIANT_FALSE);
    FDocument->put_resolveExternals(VARIANT_FALSE);
    // Version 6 has these by default, version 3 has to be told; Load checks
    // both itself as well, for a component that ignores them.
    TComPtr<IXMLDOMDocument2> document2;
    if (SUCCEEDED(FDocument->QueryInterface(IID_XmlDocument2, reinterpret_cast<void**>(document2.put())))) {
        unique_variant prohibit, depth;
        SetVariantBool(prohibit.put(), true);
        SetVariantInt(depth.put(), XmlMaxDepth);
        unique_bstr prohibitName(SysAllocString(L"ProhibitDTD")),
            depthName(SysAllocString(L"MaxElementDepth"));
        document2->setProperty(prohibitName.get(), prohibit.get());
        document2->setProperty(depthName.get(), depth.get());
    }
}

TXmlElement TXmlDocument::LoadElement(const std::wstring& fileName) {
    try {
        TXmlDocument document;
        document.Load(fileName);
        return document.DocumentElement();
    } catch (const std::exception&) {
        return {};
    }
}

namespace {

// The whole file, read once: what is checked is what is parsed.
std::string FileBytes(const std::wstring& fileName) {
    unique_file file(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    CheckOS(static_cast<bool>(file), L"Opening " + fileName);
    LARGE_INTEGER size{};
    CheckOS(GetFileSizeEx(file.get(), &size), L"Size of " + fileName);
    if (static_cast<unsigned long long>(size.QuadPart) > XmlMaxFileSize)
        throw std::runtime_error(
            Narrow(Format(L"XML file \"%s\" refused: %d bytes, more than the %d read", fileName,
                          size.QuadPart, static_cast<int64_t>(XmlMaxFileSize))));
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    CheckOS(bytes.empty() ||
                ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr),
            L"Reading " + fileName);
    bytes.resize(read);
    return bytes;
}

} // namespace

void TXmlDocument::Load(const std::wstring& fileName) {
    const std::string bytes = FileBytes(fileName);
    if (std::optional<std::wstring> refusal = XmlRefusal(bytes))
        throw std::runtime_error(Narrow(L"XML file \"" + fileName + L"\" refused: " + *refusal));
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    CheckOS(array != nullptr, L"XML bytes");
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
    SafeArrayUnaccessData(array);
    unique_variant source; // owns the array from here
    VARIANT* value = source.put();
    V_VT(value) = VT_ARRAY | VT_UI1;
    V_ARRAY(value) = array;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT hr = FDocument->load(source.get(), &loaded);
    if (hr == S_OK && loaded == VARIANT_TRUE)
        return;
    std::wstring reason = L"not well-formed";
    TComPtr<IXMLDOMParseError> error;
    if (FDocument->get_parseError(error.put()) == S_OK && error) {
        unique_bstr text;
        if (error->get_reason(text.put()) == S_OK && text)
            reason = std::wstring(Trim(text.get()));
    }
    throw std::runtime_error(Narrow(L"XML file \"" + fileName + L"\": " + reason));
}

void TXmlDocument::Save(const std::wstring& fileName) {
    unique_variant path;
    SetVariantText(path.put(), fileName);
    CheckHResult(FDocument->save(path.get()), L"Saving " + fileName);
}

std::wstring TXmlDocument::Xml() const {
    unique_bstr text;
    CheckHResult(FDocument->get_xml(text.put()), L"XML text");
    return text ? std::wstring(text.get()) : std::wstring();
}

TXmlElement TXmlDocument::DocumentElement() const {
    TComPtr<IXMLDOMElement> element;
    FDocument->get_documentElement(element.put());
    return TXmlElement(std::move(element));
}

TXmlElement TXmlDocument::CreateDocumentElement(const std::wstring& name) {
    TComPtr<IXMLDOMElement> element;
    unique_bstr bname(SysAllocString(name.c_str()));
    CheckHResult(FDocument->createElement(bname.get(), element.put()), L"XML element");
    CheckHResult(FDocument->putref_documentElement(element.get()), L"XML document element");
    return TXmlElement(std::move(element));
}

void TXmlDocument::AddDeclaration() {
    TComPtr<IXMLDOMProcessingInstruction> declaration;
    unique_bstr target(SysAllocString(L"xml"));
    unique_bstr data(SysAllocString(L"version=\"1.0\""));
    CheckHResult(FDocument->createProcessingInstruction(target.get(), data.get(), declaration.put()),
                 L"XML declaration");
    TComPtr<IXMLDOMNode> first, added;
    FDocument->get_firstChild(first.put());
    unique_variant before;
    V_VT(before.put()) = VT_UNKNOWN;
    V_UNKNOWN(const_cast<VARIANT*>(&before.get())) = first.get();
    if (first)
        first->AddRef();
    CheckHResult(FDocument->insertBefore(declaration.get(), before.get(), added.put()), L"XML declaration");
}

} // namespace velmora
