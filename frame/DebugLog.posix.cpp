#include "frame/DebugLog.h"

#include <climits>
#include <unistd.h>

namespace velmora {

namespace {
std::wstring ExecutableFileName() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return L"velmora";
    std::string text(path, static_cast<size_t>(n));
    return Widen(text.substr(text.rfind('/') + 1));
}
} // namespace

std::wstring HostProgramName() {
    std::wstring name = ExecutableFileName();
    if (size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

// The portable units are linked straight into the program natively.
std::wstring LibraryFileName() {
    return ExecutableFileName();
}

} // namespace velmora
