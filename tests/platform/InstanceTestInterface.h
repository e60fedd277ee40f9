#pragma once
// The interface the test library hands out through DllGetInstance.
#include <windows.h>
#include <unknwn.h>

struct ITestGreeting : IUnknown {
    virtual int STDMETHODCALLTYPE Answer() = 0;
    // The library's live objects, so a test can see its instance released.
    virtual int STDMETHODCALLTYPE LiveCount() = 0;
};
__CRT_UUID_DECL(ITestGreeting, 0x6A1C53E2, 0x8D0B, 0x4F5E, 0x9B, 0x57, 0x3C, 0x2E, 0x7D, 0x9A, 0x4B, 0x10)
