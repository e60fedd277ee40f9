#pragma once
// Bases of the objects handed out through COM-style interfaces, and the
// guard of a thread's COM apartment.
#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <mutex>
#include <tuple>
#include <utility>

namespace velmora {

// Counted reference to an interface.
template <class I> class TComPtr {
public:
    TComPtr() noexcept = default;
    TComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference.
    explicit TComPtr(I* p) noexcept : FPtr(p) {
        if (FPtr)
            FPtr->AddRef();
    }
    TComPtr(const TComPtr& o) noexcept : TComPtr(o.FPtr) {}
    TComPtr(TComPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
    TComPtr& operator=(TComPtr o) noexcept {
        std::swap(FPtr, o.FPtr);
        return *this;
    }
    ~TComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    static TComPtr Attach(I* p) noexcept {
        TComPtr r;
        r.FPtr = p;
        return r;
    }
    I* get() const noexcept { return FPtr; }
    I* operator->() const noexcept { return FPtr; }
    I& operator*() const noexcept { return *FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }
    void reset() noexcept {
        if (I* p = std::exchange(FPtr, nullptr))
            p->Release();
    }
    I** put() noexcept {
        reset();
        return &FPtr;
    }
    // Hands a new reference to an out parameter.
    void CopyTo(I** out) const noexcept {
        if (!out)
            return;
        *out = FPtr;
        if (FPtr)
            FPtr->AddRef();
    }
    I* Detach() noexcept { return std::exchange(FPtr, nullptr); }

private:
    I* FPtr = nullptr;
};

// Answers QueryInterface for IUnknown and each listed interface (compared by
// __uuidof); QueryOther lets a class add interfaces its listed ones derive from.
template <class... Itfs> class TInterfaceTable : public Itfs... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, __uuidof(IUnknown)))
            *out = static_cast<IUnknown*>(static_cast<First*>(this));
        else
            (TryInterface<Itfs>(riid, out) || ...);
        if (!*out)
            *out = QueryOther(riid);
        if (!*out)
            return E_NOINTERFACE;
        static_cast<First*>(this)->AddRef();
        return S_OK;
    }

protected:
    virtual ~TInterfaceTable() = default;
    virtual void* QueryOther(REFIID) { return nullptr; }

private:
    using First = std::tuple_element_t<0, std::tuple<Itfs...>>;
    template <class I> bool TryInterface(REFIID riid, void** out) {
        if (!IsEqualIID(riid, __uuidof(I)))
            return false;
        *out = static_cast<I*>(this);
        return true;
    }
};

// Reference-counted object: freed when the last reference is released; owns a
// re-entrant lock (named FLock: several interfaces have Lock and Unlock methods
// of their own, in the system's calling convention).
template <class... Itfs> class TInterfacedObject : public TInterfaceTable<Itfs...> {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG count = --FRefCount;
        if (count == 0)
            delete this;
        return count;
    }

protected:
    std::recursive_mutex FLock;

private:
    std::atomic<ULONG> FRefCount{0};
};

// Object owned by its list: interface references never free it.
template <class... Itfs> class TUnmanagedInterfacedObject : public TInterfaceTable<Itfs...> {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// Creates a counted object and hands out its interface I with one reference.
template <class T, class I, class... Args> TComPtr<I> MakeCom(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    return TComPtr<I>(static_cast<I*>(object));
}

// COM on the calling thread, in a single-threaded apartment, for the guard's
// lifetime. A thread already in an apartment of either kind keeps it: the
// guard then leaves only the count it added, or nothing when the kinds differ.
class TComApartmentGuard {
public:
    TComApartmentGuard();
    ~TComApartmentGuard();
    TComApartmentGuard(const TComApartmentGuard&) = delete;
    TComApartmentGuard& operator=(const TComApartmentGuard&) = delete;

private:
    HRESULT FResult;
};

} // namespace velmora
