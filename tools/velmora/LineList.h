#pragma once
// The front end's own string list, handed to the library to fill (the
// registry keys of a product). Used on one thread at a time.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/Text.h"

#include <string>
#include <vector>

namespace velmora {

class TLineList : public TInterfacedObject<IVelmoraStrings> {
public:
    int32_t STDMETHODCALLTYPE GetCount() override { return static_cast<int32_t>(FLines.size()); }
    void STDMETHODCALLTYPE Get(int32_t Index, BSTR* Line) override {
        bool inside = Index >= 0 && static_cast<size_t>(Index) < FLines.size();
        SetBstr(Line, inside ? FLines[static_cast<size_t>(Index)] : std::wstring());
    }
    void STDMETHODCALLTYPE Add(LPCWSTR Line) override { FLines.emplace_back(Line ? Line : L""); }
    void STDMETHODCALLTYPE Clear() override { FLines.clear(); }
    void STDMETHODCALLTYPE GetValue(LPCWSTR Name, BSTR* Value) override {
        for (const std::wstring& line : FLines)
            if (size_t equals = line.find(L'=');
                equals != std::wstring::npos &&
                SameText(std::wstring_view(line).substr(0, equals), Name ? Name : L""))
                return SetBstr(Value, line.substr(equals + 1));
        SetBstr(Value, std::wstring());
    }

    const std::vector<std::wstring>& Lines() const { return FLines; }

private:
    std::vector<std::wstring> FLines;
};

} // namespace velmora
