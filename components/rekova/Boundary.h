#pragma once
// Every interface method of the component runs its body through Guarded: the
// caller is another module, so nothing may escape. A failure keeps its text as
// the root object's last failure and answers failure(code), the method's own
// way of reporting a Windows error code.
#include "components/rekova/Recorder.h"
#include "platform/Format.h"
#include "platform/OSError.h"

#include <exception>

namespace velmora::rekova {

template <class Body, class Failure>
auto Guarded(TRecorder& recorder, Body&& body, Failure&& failure) noexcept -> decltype(body()) {
    try {
        try {
            return body();
        } catch (const EOSError& e) {
            recorder.SetError(Widen(e.what()));
            return failure(e.Code());
        } catch (const std::exception& e) {
            recorder.SetError(Widen(e.what()));
            return failure(ERROR_INTERNAL_ERROR);
        }
    } catch (...) {
        return failure(ERROR_INTERNAL_ERROR);
    }
}

inline HRESULT HResultFailure(DWORD code) {
    return HRESULT_FROM_WIN32(code);
}

inline LSTATUS StatusFailure(DWORD code) {
    return static_cast<LSTATUS>(code);
}

// For the functions that answer FALSE or a null handle with the thread's last error.
template <class R> auto LastErrorFailure(R fallback) {
    return [fallback](DWORD code) {
        SetLastError(code);
        return fallback;
    };
}

} // namespace velmora::rekova
