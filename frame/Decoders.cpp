#include "frame/Decoders.h"

#include "platform/Text.h"

#include <array>
#include <cstdint>

namespace velmora {

namespace {

constexpr std::array<std::wstring_view, 8> ReleaseTypeTexts{
    L"none",         L"Software Update", L"Update",          L"Update Rollup",
    L"Service Pack", L"Critical Update", L"Security Update", L"Hotfix"};

// Days from 1970-01-01 (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool ReadDecimal(std::wstring_view digits, int& value) {
    value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    return !digits.empty();
}

// A packed piece: its characters reversed, read as hexadecimal.
bool ReadReversedHex(std::wstring_view piece, uint32_t& value) {
    value = 0;
    for (size_t i = piece.size(); i-- > 0;) {
        int digit = HexDigit(piece[i]);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

void AppendHex(std::wstring& out, uint32_t value, int digits) {
    static constexpr wchar_t hex[] = L"0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += hex[(value >> shift) & 0xF];
}

// The installer stores product codes with every group's digits reversed
// (the last two groups byte by byte).
bool DecodePackedGUID(std::wstring_view text, std::wstring& guidText) {
    std::wstring lower = LowerCase(text);
    std::wstring_view packed = lower;
    uint32_t data1, data2, data3;
    if (!ReadReversedHex(packed.substr(0, 8), data1) || !ReadReversedHex(packed.substr(8, 4), data2) ||
        !ReadReversedHex(packed.substr(12, 4), data3))
        return false;
    std::array<uint32_t, 8> bytes;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!ReadReversedHex(packed.substr(16 + 2 * i, 2), bytes[i]))
            return false;
    std::wstring out = L"{";
    AppendHex(out, data1, 8);
    out += L'-';
    AppendHex(out, data2, 4);
    out += L'-';
    AppendHex(out, data3, 4);
    out += L'-';
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 2)
            out += L'-';
        AppendHex(out, bytes[i], 2);
    }
    out += L'}';
    guidText = std::move(out);
    return true;
}

} // namespace

std::wstring_view ReleaseTypeText(TReleaseType type) {
    size_t index = static_cast<size_t>(type);
    return index < ReleaseTypeTexts.size() ? ReleaseTypeTexts[index] : ReleaseTypeTexts[0];
}

TReleaseType DecodeReleaseType(std::wstring_view text) {
    for (size_t i = 0; i < ReleaseTypeTexts.size(); ++i)
        if (SameText(ReleaseTypeTexts[i], text))
            return static_cast<TReleaseType>(i);
    return TReleaseType::rtNone;
}

double EncodeOleDate(int year, int month, int day) {
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               DaysFromCivil(1899, 12, 30));
}

double DecodeDateTimeRegistry(std::wstring_view text) {
    if (text.size() != 8)
        return 0;
    int year, month, day;
    if (!ReadDecimal(text.substr(0, 4), year) || !ReadDecimal(text.substr(4, 2), month) ||
        !ReadDecimal(text.substr(6, 2), day))
        return 0;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return 0;
    return EncodeOleDate(year, month, day);
}

bool TryDecodeGUIDFromStr(std::wstring_view text, std::wstring& guidText) {
    guidText.clear();
    if (text.size() == 38 && IsValidGUIDText(text)) {
        guidText = text;
    } else if (text.size() == 36 && IsValidGUIDText(L"{" + std::wstring(text) + L"}")) {
        guidText = L"{" + std::wstring(text) + L"}";
    } else if (text.size() == 32) {
        DecodePackedGUID(text, guidText);
    } else if (size_t underscore = text.find(L'_'); underscore != std::wstring_view::npos) {
        if (IsValidGUIDText(text.substr(0, underscore)))
            guidText = text;
    }
    return !guidText.empty();
}

} // namespace velmora
