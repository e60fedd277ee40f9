#include "frame/VelmoraStrings.h"

#include "frame/Boundary.h"
#include "platform/ComText.h"
#include "platform/Text.h"

namespace velmora {

int32_t TVelmoraStrings::GetCount() {
    std::lock_guard lock(FLock);
    return static_cast<int32_t>(FLines.size());
}

void TVelmoraStrings::Get(int32_t Index, BSTR* Line) {
    Guarded([&] {
        std::wstring line;
        {
            std::lock_guard lock(FLock);
            if (Index >= 0 && static_cast<size_t>(Index) < FLines.size())
                line = FLines[static_cast<size_t>(Index)];
        }
        SetBstr(Line, line);
    });
}

void TVelmoraStrings::Add(LPCWSTR Line) {
    Guarded([&] {
        std::lock_guard lock(FLock);
        FLines.emplace_back(Line ? Line : L"");
    });
}

void TVelmoraStrings::Clear() {
    std::lock_guard lock(FLock);
    FLines.clear();
}

void TVelmoraStrings::GetValue(LPCWSTR Name, BSTR* Value) {
    Guarded([&] {
        std::wstring_view name = Name ? Name : L"";
        std::wstring value;
        {
            std::lock_guard lock(FLock);
            for (const std::wstring& line : FLines) {
                size_t equals = line.find(L'=');
                if (equals != std::wstring::npos &&
                    SameText(std::wstring_view(line).substr(0, equals), name)) {
                    value = line.substr(equals + 1);
                    break;
                }
            }
        }
        SetBstr(Value, value);
    });
}

std::vector<std::wstring> TVelmoraStrings::Lines() {
    std::lock_guard lock(FLock);
    return FLines;
}

} // namespace velmora
