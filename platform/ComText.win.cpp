#include "platform/ComText.h"

#include <new>

namespace velmora {

void SetBstr(BSTR* out, std::wstring_view text) {
    if (!out)
        return;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!*out)
        throw std::bad_alloc();
}

std::wstring BstrText(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

void SetVariantNull(VARIANT* v) {
    VariantInit(v);
    V_VT(v) = VT_NULL;
}

void SetVariantText(VARIANT* v, std::wstring_view text) {
    VariantInit(v);
    BSTR copy = nullptr;
    SetBstr(&copy, text);
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = copy;
}

void SetVariantDate(VARIANT* v, double date) {
    VariantInit(v);
    V_VT(v) = VT_DATE;
    V_DATE(v) = date;
}

void SetVariantInt(VARIANT* v, int32_t value) {
    VariantInit(v);
    V_VT(v) = VT_I4;
    V_I4(v) = value;
}

void SetVariantInt64(VARIANT* v, int64_t value) {
    VariantInit(v);
    V_VT(v) = VT_I8;
    V_I8(v) = value;
}

void SetVariantBool(VARIANT* v, bool value) {
    VariantInit(v);
    V_VT(v) = VT_BOOL;
    V_BOOL(v) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

} // namespace velmora
