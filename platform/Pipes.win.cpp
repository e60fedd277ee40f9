#include "platform/Pipes.h"

namespace velmora {

namespace {

std::optional<TChildPipe> MakeChildPipe(DWORD bufferSize, bool childWrites) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    unique_handle read, write;
    if (!CreatePipe(read.put(), write.put(), &inheritable, bufferSize))
        return std::nullopt;
    TChildPipe pipe;
    pipe.Ours = std::move(childWrites ? read : write);
    pipe.Child = std::move(childWrites ? write : read);
    SetHandleInformation(pipe.Ours.get(), HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

} // namespace

std::optional<TChildPipe> PipeFromChild(DWORD bufferSize) {
    return MakeChildPipe(bufferSize, true);
}

std::optional<TChildPipe> PipeToChild(DWORD bufferSize) {
    return MakeChildPipe(bufferSize, false);
}

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
