#pragma once
// A string list crossing the binary interface: lines of text, settings as
// "Name=Value" lines. Owned by whoever creates it; counted like every object
// handed out through an interface.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <mutex>
#include <string>
#include <vector>

namespace velmora {

class TVelmoraStrings : public TLiveCount<TVelmoraStrings>, public TInterfacedObject<IVelmoraStrings> {
public:
    int32_t STDMETHODCALLTYPE GetCount() override;
    // An index outside the list gives empty text.
    void STDMETHODCALLTYPE Get(int32_t Index, BSTR* Line) override;
    void STDMETHODCALLTYPE Add(LPCWSTR Line) override;
    void STDMETHODCALLTYPE Clear() override;
    // The value of the first line whose name before "=" equals Name (case-insensitive).
    void STDMETHODCALLTYPE GetValue(LPCWSTR Name, BSTR* Value) override;

    std::vector<std::wstring> Lines();

private:
    std::mutex FLock;
    std::vector<std::wstring> FLines;
};

} // namespace velmora
