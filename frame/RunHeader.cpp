#include "frame/RunHeader.h"

#include "platform/Format.h"

namespace velmora {

std::wstring RunHeaderSeparator() {
    return std::wstring(RunHeaderSeparatorWidth, L'-');
}

void WriteSystemInfo(const TRunHeaderInfo& info, const TLineSink& sink) {
    auto line = [&](std::wstring_view format, const std::optional<std::wstring>& value) {
        if (value)
            sink(Format(format, *value));
    };
    auto flag = [&](std::wstring_view format, std::optional<bool> value) {
        if (value)
            sink(Format(format, *value));
    };
    sink(RunHeaderSeparator());
    sink(Format(L"System info at %s.", info.Time));
    sink(RunHeaderSeparator());
    line(L"Version:        %s", info.Version);
    line(L"Architecture:   %s", info.Architecture);
    line(L"Service Pack:   %s", info.ServicePack);
    line(L"Edition:        %s", info.Edition);
    for (auto& module : info.ModuleVersions)
        sink(Format(L"%s: %d.%d", module.FileName, module.Major, module.Minor));
    flag(L"IsWow64Process: %s", info.IsWow64Process);
    sink(RunHeaderSeparator());
    line(L"User name       : %s", info.UserName);
    flag(L"User is admin   : %s", info.UserIsAdmin);
    line(L"Product version : %s", info.ProductVersion);
    line(L"Program version : %s", info.ProgramVersion);
    sink(RunHeaderSeparator());
}

void WriteRunHeader(const TLineSink& sink) {
    // Logging never raises into the reading run: a part that fails is left out.
    try {
        WriteSystemInfo(GatherRunHeaderInfo(), sink);
    } catch (...) {
    }
    try {
        DumpUninstallRegistry(sink);
    } catch (...) {
    }
    try {
        sink(RunHeaderSeparator());
    } catch (...) {
    }
}

} // namespace velmora
