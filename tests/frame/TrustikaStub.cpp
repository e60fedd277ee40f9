// A reputation component for the inventory's rating tests, built as
// TrustikaHelper.dll next to them: rates by a simple rule, so that a test can
// tell which method answered.
#include "api/Interfaces.Trustika.h"
#include "platform/ComObject.h"

#include <cwchar>

namespace {

class TStubTrustika : public velmora::TInterfacedObject<ITrustika> {
public:
    TSoftwareRating STDMETHODCALLTYPE GetFileRating(LPCWSTR Path) override {
        return std::wcsstr(Path, L"\\risky\\") ? TSoftwareRating::stRisky : TSoftwareRating::stUnknown;
    }
    TSoftwareRating STDMETHODCALLTYPE GetCompanyRating(LPCWSTR) override {
        return TSoftwareRating::stUnknown;
    }
};

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetInstance(REFIID riid, void** out) {
    return velmora::MakeCom<TStubTrustika, ITrustika>()->QueryInterface(riid, out);
}
