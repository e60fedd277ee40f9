#pragma once
// Every interface method of a stand-in component runs its body through Guarded: the
// caller is another module, so nothing may escape, and a call that failed
// answers the method's documented default.
#include <utility>

namespace velmora::components {

template <class R, class Body> R Guarded(R fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

template <class Body> void Guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

} // namespace velmora::components
