#include "tools/velmora/ProductFields.h"

#include "platform/ComText.h"

namespace velmora::cli {

namespace {

// By ordinal of TUsedType, TSoftwareRating and TReleaseType.
// utNone: no launch of the program is recorded, which says nothing of whether
// it was used.
constexpr const wchar_t* UsageNames[] = {L"not recorded", L"rarely used", L"occasionally used",
                                         L"frequently used"};
constexpr const wchar_t* RatingNames[] = {L"trustworthy", L"unknown", L"risky"};
constexpr const wchar_t* ReleaseTypeNames[] = {
    L"none",         L"software update", L"update",          L"update rollup",
    L"service pack", L"critical update", L"security update", L"hotfix"};

const TFieldInfo* FieldOf(int32_t index) {
    for (const TFieldInfo& field : AllFields())
        if (field.Index == index)
            return &field;
    return nullptr;
}

// A number of an enumeration field as its name; an ordinal without a name
// (from a newer library) keeps the number as its text.
TValue Named(int32_t index, int64_t ordinal) {
    const TFieldInfo* field = FieldOf(index);
    if (!field || field->ValueNames.empty())
        return ordinal;
    bool known = ordinal >= 0 && static_cast<size_t>(ordinal) < field->ValueNames.size();
    return TNamedValue{ordinal,
                       known ? field->ValueNames[static_cast<size_t>(ordinal)] : std::to_wstring(ordinal)};
}

} // namespace

const std::vector<TFieldInfo>& AllFields() {
    static const std::vector<TFieldInfo> fields = {
        {piDisplayName, L"displayName", L"Name"},
        {piDisplayVersion, L"displayVersion", L"Version"},
        {piPublisher, L"publisher", L"Publisher"},
        {piInstallLocation, L"installLocation", L"Install location"},
        {piInstallSource, L"installSource", L"Install source"},
        {piInstallDate, L"installDate", L"Installed"},
        {piContact, L"contact", L"Contact"},
        {piComments, L"comments", L"Comments"},
        {piURLReadMe, L"urlReadMe", L"Readme URL"},
        {piURLHelpLink, L"helpLink", L"Help link"},
        {piURLSupport, L"urlSupport", L"Support URL"},
        {piPhoneSupport, L"phoneSupport", L"Support telephone"},
        {piURLUpdateInfo, L"urlUpdateInfo", L"Update information URL"},
        {piLanguage, L"language", L"Language"},
        {piEstimatedSize, L"estimatedSize", L"Size"},
        {piRegisteredOwner, L"registeredOwner", L"Registered owner"},
        {piRegisteredCompany, L"registeredCompany", L"Registered company"},
        {piProductKeyName, L"productKeyName", L"Product key name"},
        {piProductID, L"productId", L"Product ID"},
        {piLastUsedDate, L"lastUsedDate", L"Last used"},
        {piUsedType, L"usedType", L"Usage", UsageNames},
        {piSoftwareRating, L"rating", L"Reputation", RatingNames},
        {piUpdateID, L"updateId", L"Update ID"},
        {piReleaseType, L"releaseType", L"Release type", ReleaseTypeNames},
        {piParentDisplayName, L"parentDisplayName", L"Program"},
    };
    return fields;
}

TValue ReadValue(IProduct& product, int32_t index) {
    unique_variant owner;
    product.GetInfo(index, owner.put());
    const VARIANT& v = owner.get();
    TValue value;
    switch (V_VT(&v)) {
    case VT_BSTR:
        value = BstrText(V_BSTR(&v));
        break;
    case VT_I4:
        value = Named(index, V_I4(&v));
        break;
    case VT_I8:
        if (index == piEstimatedSize)
            value = TSize{V_I8(&v)};
        else
            value = static_cast<int64_t>(V_I8(&v));
        break;
    case VT_DATE:
        value = V_DATE(&v);
        break;
    case VT_BOOL:
        value = V_BOOL(&v) != VARIANT_FALSE;
        break;
    default:
        break;
    }
    return value;
}

TRecord ReadRecord(IProduct& product, int32_t infoMask) {
    TRecord record;
    for (const TFieldInfo& field : AllFields())
        if (infoMask & (1 << field.Index))
            record.push_back({field.Name, field.Title, ReadValue(product, field.Index)});
    return record;
}

} // namespace velmora::cli
