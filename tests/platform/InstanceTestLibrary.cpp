// A sibling library stand-in for the loader tests: hands out ITestGreeting.
#include "tests/platform/InstanceTestInterface.h"

#include <atomic>

namespace {

std::atomic<int> Live{0};

class TGreeting : public ITestGreeting {
public:
    TGreeting() { ++Live; }
    virtual ~TGreeting() { --Live; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        bool known = IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(ITestGreeting));
        *out = known ? static_cast<ITestGreeting*>(this) : nullptr;
        if (known)
            AddRef();
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG refs = --FRefs;
        if (refs == 0)
            delete this;
        return refs;
    }
    int STDMETHODCALLTYPE Answer() override { return 42; }
    int STDMETHODCALLTYPE LiveCount() override { return Live; }

private:
    std::atomic<ULONG> FRefs{1};
};

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetInstance(REFIID riid, void** out) {
    if (!out)
        return E_POINTER;
    auto* greeting = new TGreeting();
    HRESULT hr = greeting->QueryInterface(riid, out);
    greeting->Release();
    return hr;
}
