#pragma once
// The Windows Runtime package manager, resolved at run time (the runtime's
// functions are looked up, never imported, so the library still loads on
// systems without it).
#include <string>

namespace velmora {

class TThread;

// Removes the app package for the current user. Waits for the operation,
// polling every 500 ms, and gives up waiting (false) once thread is asked to
// stop; the operation itself goes on. True only when it completed. Throws
// EOSError with the failing HRESULT when the package manager cannot be had or
// refuses the call.
bool RemoveAppPackage(const std::wstring& packageFullName, TThread* thread);
// Registers the installed package again for the current user (dependency
// packages none; shutting the app down and installing all its resources).
// Waits and fails as RemoveAppPackage.
bool RegisterAppPackage(const std::wstring& packageFullName, TThread* thread);

} // namespace velmora
