#pragma once
// Display texts the front end may translate, with their English defaults.
// The front end replaces them through IVelmora.SetLocalizedStrings before a
// read starts; the root object adapts its string list to a key lookup.
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

enum class TLocalizedText {
    SoftwareUpdate,
    Update,
    UpdateRollup,
    ServicePack,
    CriticalUpdate,
    SecurityUpdate,
    Hotfix,
    SoftwarePatch,
    RekovaSessionName,
    OperationComplete,
    MetroApp,
};
inline constexpr size_t LocalizedTextCount = 11;

class DLLStringsLocalized {
public:
    // Gives the value of a key ("S_UPDATE", ...); empty when the list has none.
    using TLookup = std::function<std::wstring(const std::wstring& key)>;

    // Looks up every key in table order; a non-empty value replaces the text,
    // an empty or missing one keeps it. A null lookup changes nothing.
    static void SetStrings(const TLookup& lookup);
    // Back to the English defaults.
    static void ResetDefaults();

    static std::wstring Text(TLocalizedText id);
    static std::wstring_view KeyName(TLocalizedText id);
    static std::wstring_view DefaultText(TLocalizedText id);

    static std::wstring SoftwareUpdate() { return Text(TLocalizedText::SoftwareUpdate); }
    static std::wstring Update() { return Text(TLocalizedText::Update); }
    static std::wstring UpdateRollup() { return Text(TLocalizedText::UpdateRollup); }
    static std::wstring ServicePack() { return Text(TLocalizedText::ServicePack); }
    static std::wstring CriticalUpdate() { return Text(TLocalizedText::CriticalUpdate); }
    static std::wstring SecurityUpdate() { return Text(TLocalizedText::SecurityUpdate); }
    static std::wstring Hotfix() { return Text(TLocalizedText::Hotfix); }
    static std::wstring SoftwarePatch() { return Text(TLocalizedText::SoftwarePatch); }
    static std::wstring RekovaSessionName() { return Text(TLocalizedText::RekovaSessionName); }
    static std::wstring OperationComplete() { return Text(TLocalizedText::OperationComplete); }
    static std::wstring MetroApp() { return Text(TLocalizedText::MetroApp); }
};

} // namespace velmora
