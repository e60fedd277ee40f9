#pragma once
// Library-wide state that static teardown may leave as it is.
//
// Static destructors run in an order nobody chose, and they also run when the
// process ends while a front end still holds the library's objects: then the
// library's threads have been stopped wherever they stood (in a sleep, inside
// a lock), or, in a program that links the library, still run. Destroying
// state that objects or threads still use would wait for dead threads, take
// locks they left held, or pull objects from under running code. So a
// TLibraryGlobal destroys its object at teardown only when no counted object
// lives and no thread of the library is left; otherwise the object is left to
// the end of the process. The instance cycles empty such state when their
// last object goes, so an unload frees it.
#include "platform/LiveObjects.h"
#include "platform/Thread.h"

#include <new>
#include <utility>

namespace velmora {

// Whether any of the library's objects or threads is still about.
inline bool LibraryInUse() {
    return LiveObjectTotal() > 0 || LibraryThreadsNotJoined() > 0;
}

// Meant for function-local statics: static TLibraryGlobal<T> state; return *state;
template <class T> class TLibraryGlobal {
public:
    template <class... Args> explicit TLibraryGlobal(Args&&... args) {
        ::new (static_cast<void*>(FStorage)) T(std::forward<Args>(args)...);
    }
    ~TLibraryGlobal() {
        if (!LibraryInUse())
            Get().~T();
    }
    TLibraryGlobal(const TLibraryGlobal&) = delete;
    TLibraryGlobal& operator=(const TLibraryGlobal&) = delete;

    T& operator*() { return Get(); }
    T* operator->() { return &Get(); }

private:
    T& Get() { return *std::launder(reinterpret_cast<T*>(FStorage)); }
    alignas(T) unsigned char FStorage[sizeof(T)];
};

} // namespace velmora
