#include "platform/Pipes.h"

namespace velmora {

bool AppendAvailable(HANDLE pipe, std::string& into) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
        return false;
    if (available == 0)
        return true;
    const size_t start = into.size();
    into.resize(start + available);
    DWORD read = 0;
    const bool ok = ReadFile(pipe, into.data() + start, available, &read, nullptr);
    into.resize(start + read);
    return ok;
}

} // namespace velmora
