#pragma once
// Library-wide helpers: decoders for values found in uninstall data, language
// names, and the suite's reputation component, obtained on first need.
#include "frame/Decoders.h"
#include "api/Interfaces.Trustika.h"
#include "platform/ComObject.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

class DLLGlobals {
public:
    static TReleaseType DecodeReleaseType(std::wstring_view text) { return velmora::DecodeReleaseType(text); }
    static std::wstring_view ReleaseTypeText(TReleaseType type) { return velmora::ReleaseTypeText(type); }
    static double DecodeDateTimeRegistry(std::wstring_view text) {
        return velmora::DecodeDateTimeRegistry(text);
    }
    static bool TryDecodeGUIDFromStr(std::wstring_view text, std::wstring& guidText) {
        return velmora::TryDecodeGUIDFromStr(text, guidText);
    }

    // The language name of a locale (LOCALE_SLANGUAGE, e.g. "English (United
    // States)"); empty when Windows has none.
    static std::wstring LocaleIDToString(uint32_t lcid);
    // From Windows Vista on, the language name of a named locale ("de-DE");
    // the name itself when Windows has none, and always before Vista.
    static std::wstring LocaleIDToString(std::wstring_view localeName);
    static void LocaleIDToString(uint32_t lcid, std::wstring& name) { name = LocaleIDToString(lcid); }
    static void LocaleIDToString(std::wstring_view localeName, std::wstring& name) {
        name = LocaleIDToString(localeName);
    }
    // The language names in list order, joined with ", ".
    static std::wstring LocaleIDListToString(std::span<const uint32_t> lcids);

    // The reputation component's interface, loaded from TrustikaHelper.dll
    // once and cached. Throws std::runtime_error("Unable to get trustika")
    // when the library or the interface is missing.
    static TComPtr<ITrustika> GetTrustika();
    static void GetTrustika(TComPtr<ITrustika>& intf) { intf = GetTrustika(); }
    // Releases the cached interface; the next GetTrustika loads it again.
    // Called by the location owner's last instance, when no reader uses it.
    static void FinalizeInterfaces();

    // The library-wide lock guarding the cached interface.
    static void Lock();
    static void Unlock();
};

} // namespace velmora
