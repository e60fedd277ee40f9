#include "platform/AppPackageManager.h"

#include "platform/ComObject.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "platform/Paths.h"
#include "platform/Thread.h"

#include <inspectable.h>
#include <asyncinfo.h>

namespace velmora::runtime_abi {

using HStringHandle = struct HSTRING__*;

// Only the slots called here are typed; the others keep their places.
MIDL_INTERFACE("00000035-0000-0000-C000-000000000046")
IRuntimeActivationFactory : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable * *Instance) = 0;
};

MIDL_INTERFACE("9A7D4B65-5E8F-4FC7-A2E5-7F6925CB8B53")
IRuntimePackageManager : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE AddPackageAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdatePackageAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemovePackageAsync(HStringHandle PackageFullName,
                                                         IUnknown * *Operation) = 0;
};

MIDL_INTERFACE("F7AAD08D-0840-46F2-B5D8-CAD47693A095")
IRuntimePackageManager2 : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE RemovePackageWithOptionsAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE StagePackageWithOptionsAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPackageByFullNameAsync(
        HStringHandle MainPackageFullName, IUnknown * DependencyPackageFullNames, UINT32 DeploymentOptions,
        IUnknown * *Operation) = 0;
};

} // namespace velmora::runtime_abi

#if defined(__MINGW32__)
__CRT_UUID_DECL(velmora::runtime_abi::IRuntimeActivationFactory, 0x00000035, 0x0000, 0x0000, 0xC0, 0x00, 0x00,
                0x00, 0x00, 0x00, 0x00, 0x46)
__CRT_UUID_DECL(velmora::runtime_abi::IRuntimePackageManager, 0x9A7D4B65, 0x5E8F, 0x4FC7, 0xA2, 0xE5, 0x7F,
                0x69, 0x25, 0xCB, 0x8B, 0x53)
__CRT_UUID_DECL(velmora::runtime_abi::IRuntimePackageManager2, 0xF7AAD08D, 0x0840, 0x46F2, 0xB5, 0xD8, 0xCA,
                0xD4, 0x76, 0x93, 0xA0, 0x95)
#endif

namespace velmora {

namespace {

using namespace runtime_abi;

// ForceApplicationShutdown | InstallAllResources.
constexpr UINT32 RegisterOptions = 0x21;

// The runtime's functions in combase.dll, which Windows 8 brought; loaded
// once and kept.
struct TRuntimeFunctions {
    HRESULT(WINAPI* Initialize)(int initType) = nullptr;
    void(WINAPI* Uninitialize)() = nullptr;
    HRESULT(WINAPI* GetActivationFactory)(HStringHandle classId, REFIID iid, void** factory) = nullptr;
    HRESULT(WINAPI* CreateString)(LPCWSTR text, UINT32 length, HStringHandle* string) = nullptr;
    HRESULT(WINAPI* DeleteString)(HStringHandle string) = nullptr;

    static const TRuntimeFunctions& Get() {
        static const TRuntimeFunctions functions = [] {
            TRuntimeFunctions f;
            HMODULE module = LoadLibraryW((SystemFolderWithBackslash() + L"combase.dll").c_str());
            if (!module)
                return f;
            f.Initialize = ModuleFunction<decltype(f.Initialize)>(module, "RoInitialize");
            f.Uninitialize = ModuleFunction<decltype(f.Uninitialize)>(module, "RoUninitialize");
            f.GetActivationFactory =
                ModuleFunction<decltype(f.GetActivationFactory)>(module, "RoGetActivationFactory");
            f.CreateString = ModuleFunction<decltype(f.CreateString)>(module, "WindowsCreateString");
            f.DeleteString = ModuleFunction<decltype(f.DeleteString)>(module, "WindowsDeleteString");
            return f;
        }();
        return functions;
    }
    bool Complete() const {
        return Initialize && Uninitialize && GetActivationFactory && CreateString && DeleteString;
    }
};

constexpr int RoInitMultithreaded = 1;

// A runtime string for the guard's lifetime.
class THString {
public:
    THString(const TRuntimeFunctions& runtime, const std::wstring& text) : FRuntime(runtime) {
        CheckHResult(FRuntime.CreateString(text.c_str(), static_cast<UINT32>(text.size()), &FHandle),
                     L"WindowsCreateString");
    }
    ~THString() { FRuntime.DeleteString(FHandle); }
    THString(const THString&) = delete;
    THString& operator=(const THString&) = delete;
    HStringHandle Get() const { return FHandle; }

private:
    const TRuntimeFunctions& FRuntime;
    HStringHandle FHandle = nullptr;
};

// The runtime on the calling thread for the guard's lifetime, when it could
// be initialised.
class TRuntimeApartment {
public:
    explicit TRuntimeApartment(const TRuntimeFunctions& runtime)
        : FRuntime(runtime), FInitialized(SUCCEEDED(runtime.Initialize(RoInitMultithreaded))) {}
    ~TRuntimeApartment() {
        if (FInitialized)
            FRuntime.Uninitialize();
    }
    TRuntimeApartment(const TRuntimeApartment&) = delete;
    TRuntimeApartment& operator=(const TRuntimeApartment&) = delete;

private:
    const TRuntimeFunctions& FRuntime;
    bool FInitialized;
};

template <class I> TComPtr<I> QueryAs(IUnknown* object, std::wstring_view context) {
    TComPtr<I> result;
    CheckHResult(object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(result.put())), context);
    return result;
}

// Polls the operation until it leaves Started or the thread is asked to
// stop. An operation that failed raises its error.
bool WaitForOperation(IUnknown* operation, TThread* thread) {
    auto info = QueryAs<IAsyncInfo>(operation, L"IAsyncInfo");
    for (;;) {
        AsyncStatus status = Started;
        CheckHResult(info->get_Status(&status), L"IAsyncInfo.Status");
        if (status == Error) {
            HRESULT error = E_FAIL;
            info->get_ErrorCode(&error);
            CheckHResult(FAILED(error) ? error : E_FAIL, L"Package operation");
        }
        if (status != Started)
            return status == Completed;
        if (thread) {
            thread->SleepBy(500);
            if (thread->Terminated())
                return false;
        } else {
            Sleep(500);
        }
    }
}

// Runs call on the package manager's interface I and waits for the
// operation it starts.
template <class I, class Call> bool RunPackageOperation(TThread* thread, Call call) {
    const auto& runtime = TRuntimeFunctions::Get();
    if (!runtime.Complete())
        throw EOSError::FromHResult(L"Windows Runtime", REGDB_E_CLASSNOTREG);
    TRuntimeApartment apartment(runtime);
    TComPtr<IRuntimeActivationFactory> factory;
    {
        THString classId(runtime, L"Windows.Management.Deployment.PackageManager");
        CheckHResult(runtime.GetActivationFactory(classId.Get(), __uuidof(IRuntimeActivationFactory),
                                                  reinterpret_cast<void**>(factory.put())),
                     L"RoGetActivationFactory");
    }
    TComPtr<IInspectable> instance;
    CheckHResult(factory->ActivateInstance(instance.put()), L"PackageManager");
    auto manager = QueryAs<I>(instance.get(), L"PackageManager");
    TComPtr<IUnknown> operation;
    CheckHResult(call(runtime, manager.get(), operation.put()), L"PackageManager");
    return WaitForOperation(operation.get(), thread);
}

} // namespace

bool RemoveAppPackage(const std::wstring& packageFullName, TThread* thread) {
    return RunPackageOperation<IRuntimePackageManager>(
        thread, [&](const TRuntimeFunctions& runtime, IRuntimePackageManager* manager, IUnknown** operation) {
            THString name(runtime, packageFullName);
            return manager->RemovePackageAsync(name.Get(), operation);
        });
}

bool RegisterAppPackage(const std::wstring& packageFullName, TThread* thread) {
    return RunPackageOperation<IRuntimePackageManager2>(
        thread,
        [&](const TRuntimeFunctions& runtime, IRuntimePackageManager2* manager, IUnknown** operation) {
            THString name(runtime, packageFullName);
            return manager->RegisterPackageByFullNameAsync(name.Get(), nullptr, RegisterOptions, operation);
        });
}

} // namespace velmora
