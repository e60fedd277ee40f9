#pragma once
// The one place where errors turn into results: every export and interface
// method runs its body through Guarded, which logs whatever escapes to the
// statistics log and answers the method's documented failure value.
#include "frame/DebugLog.h"

#include <type_traits>

namespace velmora {

template <class Body, class Result = std::invoke_result_t<Body>>
requires(!std::is_void_v<Result>) Result Guarded(Result failure, Body&& body)
noexcept {
    try {
        return body();
    } catch (...) {
        try {
            StatisticsLog::AddError();
        } catch (...) {
        }
        return failure;
    }
}

template <class Body>
requires std::is_void_v<std::invoke_result_t<Body>>
void Guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        try {
            StatisticsLog::AddError();
        } catch (...) {
        }
    }
}

} // namespace velmora
