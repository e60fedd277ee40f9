#pragma once
// The statistics log's run header: system information and a dump of the
// uninstall registry, written at the start of every reading run.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

using TLineSink = std::function<void(std::wstring_view line)>;

inline constexpr size_t RunHeaderSeparatorWidth = 80;

// What the header shows; an unknown fact (absent) skips its line.
struct TRunHeaderInfo {
    struct TModuleVersion {
        std::wstring FileName;
        uint32_t Major = 0;
        uint32_t Minor = 0;
    };
    std::wstring Time; // "yyyy.mm.dd hh:nn:ss.zzz"
    std::optional<std::wstring> Version, Architecture, ServicePack, Edition;
    std::vector<TModuleVersion> ModuleVersions; // only those whose version was read
    std::optional<bool> IsWow64Process;
    std::optional<std::wstring> UserName;
    std::optional<bool> UserIsAdmin;
    std::optional<std::wstring> ProductVersion, ProgramVersion;
};

std::wstring RunHeaderSeparator();
// From the first separator to the one before the registry dump.
void WriteSystemInfo(const TRunHeaderInfo& info, const TLineSink& sink);

// The whole header: system information, the uninstall registry, a separator.
// Never throws; a fact that cannot be read skips its line.
void WriteRunHeader(const TLineSink& sink);

// Per OS: the facts, and the registry dump (nothing where there is no registry).
TRunHeaderInfo GatherRunHeaderInfo();
void DumpUninstallRegistry(const TLineSink& sink);

} // namespace velmora
