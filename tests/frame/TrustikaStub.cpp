// A reputation component for the GetTrustika tests, built as TrustikaHelper.dll
// next to the test program: rates by simple rules, so that a test can tell
// which method answered, and counts the objects it hands out.
#include "api/Interfaces.Trustika.h"
#include "platform/ComObject.h"

#include <atomic>
#include <cwchar>

namespace {

std::atomic<int> Created{0}, Live{0};

class TStubTrustika : public velmora::TInterfacedObject<ITrustika> {
public:
    TStubTrustika() { ++Created, ++Live; }
    ~TStubTrustika() override { --Live; }
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
extern "C" __declspec(dllexport) int WINAPI StubCreatedCount() {
    return Created;
}
extern "C" __declspec(dllexport) int WINAPI StubLiveCount() {
    return Live;
}
