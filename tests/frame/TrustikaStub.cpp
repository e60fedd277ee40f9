// A reputation component for the GetTrustika tests, built as TrustikaHelper.dll
// next to the test program: rates by simple rules, so that a test can tell
// which method answered, and counts the objects it hands out.
#include "frame/Interfaces.Trustika.h"

#include <atomic>
#include <cwchar>

namespace {

std::atomic<int> Created{0}, Live{0};

class TStubTrustika : public ITrustika {
public:
    TStubTrustika() { ++Created, ++Live; }
    virtual ~TStubTrustika() { --Live; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(ITrustika)) ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG refs = --FRefs;
        if (refs == 0)
            delete this;
        return refs;
    }
    TSoftwareRating STDMETHODCALLTYPE GetFileRating(LPCWSTR Path) override {
        return std::wcsstr(Path, L"\\risky\\") ? TSoftwareRating::stRisky : TSoftwareRating::stUnknown;
    }
    TSoftwareRating STDMETHODCALLTYPE GetCompanyRating(LPCWSTR Company) override {
        return std::wcscmp(Company, L"Velmora") == 0 ? TSoftwareRating::stTrustWorthy
                                                     : TSoftwareRating::stUnknown;
    }

private:
    std::atomic<ULONG> FRefs{1};
};

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetInstance(REFIID riid, void** out) {
    auto* trustika = new TStubTrustika();
    HRESULT hr = trustika->QueryInterface(riid, out);
    trustika->Release();
    return hr;
}
extern "C" __declspec(dllexport) int WINAPI StubCreatedCount() {
    return Created;
}
extern "C" __declspec(dllexport) int WINAPI StubLiveCount() {
    return Live;
}
