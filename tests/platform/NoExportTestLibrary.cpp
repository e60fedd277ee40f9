// A library without DllGetInstance, for the loader tests.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI SomethingElse() {
    return 1;
}
