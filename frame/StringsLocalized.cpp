#include "frame/StringsLocalized.h"

#include <array>
#include <mutex>

namespace velmora {

namespace {

struct TEntry {
    std::wstring_view Key;
    std::wstring_view Default;
};

// In TLocalizedText order, which is also the order SetStrings looks keys up.
constexpr std::array<TEntry, LocalizedTextCount> Table{{
    {L"S_SOFTWARE_UPDATE", L"Software Update for Microsoft Windows (%s)"},
    {L"S_UPDATE", L"Update for Microsoft Windows (%s)"},
    {L"S_UPDATE_ROLLUP", L"Update Rollup for Microsoft Windows (%s)"},
    {L"S_SERVICE_PACK", L"Service Pack for Microsoft Windows (%s)"},
    {L"S_CRITICAL_UPDATE", L"Critical Update for Microsoft Windows (%s)"},
    {L"S_SECURITY_UPDATE", L"Security Update for Microsoft Windows (%s)"},
    {L"S_HOTFIX", L"Hotfix for Microsoft Windows (%s)"},
    {L"S_SOFTWARE_PATCH", L"Update for %s"},
    {L"S_REKOVA_SESSION_NAME", L"Velmora: Deleting entry for \"%s\""},
    {L"S_OPERATION_COMPLETE", L"Operation comlete"},
    {L"S_METRO_APP", L"Universal Windows Platform App"},
}};

// The front end sets the texts before reading starts, but a lock costs
// nothing here and keeps a late SetStrings from tearing a text being read.
struct TTexts {
    std::mutex Mutex;
    std::array<std::wstring, LocalizedTextCount> Values;

    TTexts() { Reset(); }
    void Reset() {
        for (size_t i = 0; i < Table.size(); ++i)
            Values[i] = Table[i].Default;
    }
};

TTexts& Texts() {
    static TTexts texts;
    return texts;
}

size_t Index(TLocalizedText id) {
    return static_cast<size_t>(id);
}

} // namespace

void DLLStringsLocalized::SetStrings(const TLookup& lookup) {
    if (!lookup)
        return;
    for (size_t i = 0; i < Table.size(); ++i) {
        std::wstring value = lookup(std::wstring(Table[i].Key));
        if (value.empty())
            continue;
        std::lock_guard lock(Texts().Mutex);
        Texts().Values[i] = std::move(value);
    }
}

void DLLStringsLocalized::ResetDefaults() {
    std::lock_guard lock(Texts().Mutex);
    Texts().Reset();
}

std::wstring DLLStringsLocalized::Text(TLocalizedText id) {
    std::lock_guard lock(Texts().Mutex);
    return Texts().Values.at(Index(id));
}

std::wstring_view DLLStringsLocalized::KeyName(TLocalizedText id) {
    return Table.at(Index(id)).Key;
}

std::wstring_view DLLStringsLocalized::DefaultText(TLocalizedText id) {
    return Table.at(Index(id)).Default;
}

} // namespace velmora
