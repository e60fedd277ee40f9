#pragma once
// Text across the binary interface: BSTR results and VARIANT values. Out
// parameters are overwritten, never freed: clearing an out value is the
// caller's part, as for every out parameter (unique_bstr in platform/Handles.h,
// unique_variant here).
#include "platform/Handles.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Fills an out BSTR with a new copy of text (nothing when out is null).
void SetBstr(BSTR* out, std::wstring_view text);
std::wstring BstrText(BSTR text);

// The text an interface's getter hands out (void Get(BSTR*)); its BSTR is freed.
template <class I> std::wstring GetterText(I& object, void (STDMETHODCALLTYPE I::*get)(BSTR*)) {
    unique_bstr text;
    (object.*get)(text.put());
    return BstrText(text.get());
}

void SetVariantNull(VARIANT* v);
void SetVariantText(VARIANT* v, std::wstring_view text);
void SetVariantDate(VARIANT* v, double date);
void SetVariantInt(VARIANT* v, int32_t value);
void SetVariantInt64(VARIANT* v, int64_t value);
void SetVariantBool(VARIANT* v, bool value);

// A VARIANT owned by its caller, cleared (its BSTR freed) when it goes.
class unique_variant {
public:
    unique_variant() noexcept { VariantInit(&FValue); }
    ~unique_variant() { VariantClear(&FValue); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;

    const VARIANT& get() const noexcept { return FValue; }
    // For APIs that fill an out VARIANT.
    VARIANT* put() noexcept {
        VariantClear(&FValue);
        return &FValue;
    }

private:
    VARIANT FValue;
};

} // namespace velmora
