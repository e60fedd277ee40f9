// A sibling library stand-in for the loader tests: hands out ITestGreeting.
#include "tests/platform/InstanceTestInterface.h"

#include "platform/ComObject.h"

#include <atomic>

namespace {

std::atomic<int> Live{0};

class TGreeting : public velmora::TInterfacedObject<ITestGreeting> {
public:
    TGreeting() { ++Live; }
    ~TGreeting() override { --Live; }
    int STDMETHODCALLTYPE Answer() override { return 42; }
    int STDMETHODCALLTYPE LiveCount() override { return Live; }
};

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetInstance(REFIID riid, void** out) {
    return velmora::MakeCom<TGreeting, ITestGreeting>()->QueryInterface(riid, out);
}
