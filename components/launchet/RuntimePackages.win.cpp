#include "components/launchet/RuntimePackages.h"

#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/Module.h"

#include <windows.h>
#include <activation.h>
#include <hstring.h>
#include <inspectable.h>

namespace velmora::launchet {

namespace {

// The runtime's interfaces as far as they are used; slots before the used
// ones keep their places.
constexpr IID IID_ActivationFactory = {
    0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID IID_PackageManager = {
    0x9A7D4B65, 0x5E8F, 0x4FC7, {0xA2, 0xE5, 0x7F, 0x69, 0x25, 0xCB, 0x8B, 0x53}};
constexpr IID IID_PackageManager2 = {
    0xF7AAD08D, 0x0840, 0x46F2, {0xB5, 0xD8, 0xCA, 0xD4, 0x76, 0x93, 0xA0, 0x95}};
// IIterable<Package> and IIterator<Package> (the ids of those instances).
constexpr IID IID_PackageIterable = {
    0x69AD6AA7, 0x0C49, 0x5F27, {0xA5, 0xEB, 0xEF, 0x4D, 0x59, 0x46, 0x7B, 0x6D}};
constexpr IID IID_PackageIterator = {
    0x0217F069, 0x025C, 0x5EE6, {0xA8, 0x7F, 0xE7, 0x82, 0xE3, 0xB6, 0x23, 0xAE}};
constexpr IID IID_Package = {0x163C792F, 0xBD75, 0x413C, {0xBF, 0x23, 0xB1, 0xFE, 0x7B, 0x95, 0xD8, 0x25}};
constexpr IID IID_PackageId = {0x1ADB665E, 0x37C7, 0x4790, {0x99, 0x80, 0xDD, 0x7A, 0xE7, 0x4E, 0x8B, 0xB2}};

// PackageTypes Main | Framework | Resource.
constexpr UINT32 ListedPackageTypes = 0x1 | 0x2 | 0x4;

struct IRtActivationFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) = 0;
};

struct IRtPackageIterator : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Current(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasCurrent(boolean* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveNext(boolean* value) = 0;
};

struct IRtPackageIterable : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE First(IRtPackageIterator** value) = 0;
};

struct IRtPackageManager : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE AddPackageAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdatePackageAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemovePackageAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE StagePackageAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPackageAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPackages() = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityId(HSTRING sid,
                                                                   IRtPackageIterable** packages) = 0;
};

struct IRtPackageManager2 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE RemovePackageWithOptionsAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE StagePackageWithOptionsAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPackageByFullNameAsync() = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPackagesWithPackageTypes() = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityIdWithPackageTypes(
        HSTRING sid, UINT32 types, IRtPackageIterable** packages) = 0;
};

struct IRtPackageId;
struct IRtPackage : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(IRtPackageId** value) = 0;
};

struct IRtPackageId : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Name(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Version(void* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Architecture(INT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResourceId(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Publisher(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PublisherId(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FullName(HSTRING* value) = 0;
};

// The runtime's functions of combase.dll.
struct TRuntime {
    using TGetFactory = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
    using TCreateString = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
    using TDeleteString = HRESULT(WINAPI*)(HSTRING);
    using TRawBuffer = PCWSTR(WINAPI*)(HSTRING, UINT32*);

    unique_hmodule Combase{LoadLibraryW(L"combase.dll")};
    TGetFactory GetActivationFactory = Function<TGetFactory>("RoGetActivationFactory");
    TCreateString CreateString = Function<TCreateString>("WindowsCreateString");
    TDeleteString DeleteString = Function<TDeleteString>("WindowsDeleteString");
    TRawBuffer RawBuffer = Function<TRawBuffer>("WindowsGetStringRawBuffer");

    bool Present() const { return GetActivationFactory && CreateString && DeleteString && RawBuffer; }
    template <class Fn> Fn Function(const char* name) const {
        return Combase ? ModuleFunction<Fn>(Combase.get(), name) : nullptr;
    }
    // Takes the string and deletes it.
    std::wstring Text(HSTRING text) const {
        UINT32 length = 0;
        const wchar_t* raw = RawBuffer(text, &length);
        std::wstring result(raw ? raw : L"", raw ? length : 0);
        DeleteString(text);
        return result;
    }
};

// A returned object is asked again for the interface it must have, so that
// a layout assumed here that the system does not share is never called.
template <class I> TComPtr<I> Checked(TComPtr<I> object, REFIID iid) {
    TComPtr<I> checked;
    if (object && SUCCEEDED(object->QueryInterface(iid, reinterpret_cast<void**>(checked.put()))))
        return checked;
    return {};
}

TComPtr<IRtPackageIterable> FindPackages(IInspectable* manager) {
    TComPtr<IRtPackageIterable> packages;
    TComPtr<IRtPackageManager2> manager2;
    // An empty security id names the current user.
    if (SUCCEEDED(manager->QueryInterface(IID_PackageManager2, reinterpret_cast<void**>(manager2.put()))) &&
        SUCCEEDED(manager2->FindPackagesByUserSecurityIdWithPackageTypes(nullptr, ListedPackageTypes,
                                                                         packages.put())))
        return Checked(packages, IID_PackageIterable);
    TComPtr<IRtPackageManager> manager1;
    if (SUCCEEDED(manager->QueryInterface(IID_PackageManager, reinterpret_cast<void**>(manager1.put()))) &&
        SUCCEEDED(manager1->FindPackagesByUserSecurityId(nullptr, packages.put())))
        return Checked(packages, IID_PackageIterable);
    return {};
}

} // namespace

std::optional<std::vector<std::wstring>> RuntimePackageFullNames() {
    const TRuntime runtime;
    if (!runtime.Present())
        return std::nullopt;
    static constexpr wchar_t ClassName[] = L"Windows.Management.Deployment.PackageManager";
    HSTRING className = nullptr;
    if (FAILED(runtime.CreateString(ClassName, ARRAYSIZE(ClassName) - 1, &className)))
        return std::nullopt;
    TComPtr<IRtActivationFactory> factory;
    const HRESULT found = runtime.GetActivationFactory(className, IID_ActivationFactory,
                                                       reinterpret_cast<void**>(factory.put()));
    runtime.DeleteString(className);
    TComPtr<IInspectable> manager;
    if (FAILED(found) || FAILED(factory->ActivateInstance(manager.put())) || !manager)
        return std::nullopt;
    TComPtr<IRtPackageIterable> packages = FindPackages(manager.get());
    TComPtr<IRtPackageIterator> iterator;
    if (!packages || FAILED(packages->First(iterator.put())) ||
        !(iterator = Checked(iterator, IID_PackageIterator)))
        return std::nullopt;

    std::vector<std::wstring> fullNames;
    boolean hasCurrent = 0;
    if (FAILED(iterator->get_HasCurrent(&hasCurrent)))
        return std::nullopt;
    while (hasCurrent) {
        TComPtr<IInspectable> current;
        TComPtr<IRtPackage> package;
        TComPtr<IRtPackageId> id;
        HSTRING fullName = nullptr;
        if (SUCCEEDED(iterator->get_Current(current.put())) && current &&
            SUCCEEDED(current->QueryInterface(IID_Package, reinterpret_cast<void**>(package.put()))) &&
            SUCCEEDED(package->get_Id(id.put())) && (id = Checked(id, IID_PackageId)) &&
            SUCCEEDED(id->get_FullName(&fullName)))
            fullNames.push_back(runtime.Text(fullName));
        hasCurrent = 0;
        if (FAILED(iterator->MoveNext(&hasCurrent)))
            return std::nullopt;
    }
    return fullNames;
}

} // namespace velmora::launchet
