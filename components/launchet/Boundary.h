#pragma once
// Every interface method of the component runs its body through Guarded: the
// caller is another module, so nothing may escape; a failure answers the
// method's default.
#include <utility>

namespace velmora::launchet {

template <class Body, class Result> Result Guarded(Body&& body, Result fallback) noexcept {
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

} // namespace velmora::launchet
