#pragma once
// Text across the binary interface: BSTR results and VARIANT values. Out
// parameters are overwritten, never freed: clearing an out value is the
// caller's part, as for every out parameter.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Fills an out BSTR with a new copy of text (nothing when out is null).
void SetBstr(BSTR* out, std::wstring_view text);
std::wstring BstrText(BSTR text);

void SetVariantNull(VARIANT* v);
void SetVariantText(VARIANT* v, std::wstring_view text);
void SetVariantDate(VARIANT* v, double date);
void SetVariantInt(VARIANT* v, int32_t value);
void SetVariantInt64(VARIANT* v, int64_t value);
void SetVariantBool(VARIANT* v, bool value);

} // namespace velmora
