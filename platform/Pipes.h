#pragma once
// Anonymous pipes to and from a child process, and reading one without
// waiting, for readers that poll while a process runs and stop when it ends:
// a process it starts may inherit the pipe and keep it open long after.
#include "platform/Handles.h"

#include <windows.h>

#include <optional>
#include <string>

namespace velmora {

// The two ends of a pipe to or from a child. The child's end is inheritable,
// so that the child gets it as a standard handle; this process's end is not,
// so that no child holds it.
struct TChildPipe {
    unique_handle Ours;  // this process's end
    unique_handle Child; // the child's end, closed here once the child has it
};

// A pipe the child writes to (its output or error) and one it reads from (its
// input). A buffer size of 0 is the system's default. Nothing when the pipe
// cannot be made (GetLastError tells why).
std::optional<TChildPipe> PipeFromChild(DWORD bufferSize = 0);
std::optional<TChildPipe> PipeToChild(DWORD bufferSize = 0);

// Appends what the pipe holds now to into; false when it cannot be read
// (GetLastError tells why).
bool AppendAvailable(HANDLE pipe, std::string& into);

} // namespace velmora
