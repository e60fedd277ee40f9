#include "frame/DebugLog.h"

#include "platform/Module.h"

namespace velmora {

namespace {
std::wstring FileNameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/:") + 1);
}
} // namespace

std::wstring HostProgramName() {
    std::wstring name = FileNameOf(HostExecutableFileName());
    if (size_t dot = name.rfind(L'.'); dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

std::wstring LibraryFileName() {
    return FileNameOf(ThisModuleFileName());
}

} // namespace velmora
