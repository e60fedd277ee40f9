#pragma once
// Reading a pipe without waiting, for readers that poll while a process runs
// and stop when it ends: a process it starts may inherit the pipe and keep it
// open long after.
#include <windows.h>

#include <string>

namespace velmora {

// Appends what the pipe holds now to into; false when it cannot be read
// (GetLastError tells why).
bool AppendAvailable(HANDLE pipe, std::string& into);

} // namespace velmora
