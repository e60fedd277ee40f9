#include "platform/DateText.h"

#include <cmath>
#include <cstdint>

namespace velmora {

namespace {

std::wstring TwoDigits(int v) {
    return (v < 10 ? L"0" : L"") + std::to_wstring(v);
}

// Civil date from a day count (days since 1970-01-01), proleptic Gregorian.
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

} // namespace

std::wstring FormatOleDate(double date) {
    if (date == 0 || !std::isfinite(date) || std::fabs(date) > 3e6)
        return {};
    // OLE dates count days from 1899-12-30; 25569 days before 1970-01-01.
    double days = std::floor(date);
    int64_t seconds = std::llround((date - days) * 86400.0);
    if (seconds >= 86400)
        days += 1, seconds -= 86400;
    int y, m, d;
    CivilFromDays(static_cast<int64_t>(days) - 25569, y, m, d);
    std::wstring text = std::to_wstring(y) + L"-" + TwoDigits(m) + L"-" + TwoDigits(d);
    if (seconds != 0)
        text += L"T" + TwoDigits(static_cast<int>(seconds / 3600)) + L":" +
                TwoDigits(static_cast<int>(seconds / 60 % 60)) + L":" +
                TwoDigits(static_cast<int>(seconds % 60));
    return text;
}

} // namespace velmora
