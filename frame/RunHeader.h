#pragma once
// The statistics log's run header: system information and a dump of the
// uninstall registry, written at the start of every reading run.
#include "platform/RegistryKeyText.h"
#include "platform/RegistrySnapshot.h"

#include <functional>
#include <memory>
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

// The facts and the uninstall registry, read before anything is written.
struct TRunHeader {
    struct TDumpedKey {
        TRegistryKey Name;
        std::shared_ptr<const TRegKeySnapshot> Key;
    };
    // Absent when the facts could not be gathered.
    std::optional<TRunHeaderInfo> Info;
    // In dump order; a place that does not open is left out.
    std::vector<TDumpedKey> Uninstall;
};

std::wstring RunHeaderSeparator();
// From the first separator to the one before the registry dump.
void WriteSystemInfo(const TRunHeaderInfo& info, const TLineSink& sink);

// Gathers the facts and reads the uninstall registry of the machine, then of
// the user (UninstallRegistryPlaces), through the calling thread's walk
// (TRegistrySnapshot::Current) or one of its own. Reading the registry is
// the long part: a stop request of the calling thread ends it, and the
// silent abort passes on. Any other failure leaves its part out.
TRunHeader ReadRunHeader();
// The whole header: system information, the dump of the uninstall registry,
// a separator. A stop request of the calling thread ends it between keys
// (the silent abort passes on); nothing else is raised.
void WriteRunHeader(const TRunHeader& header, const TLineSink& sink);
// The dump of a key as a walk read it, depth first: the key text, one line
// per REG_SZ, REG_MULTI_SZ and REG_DWORD value ("Name (REG_SZ) = "value""),
// an empty line, then each subkey the walk read. A stop request of the
// calling thread ends it between keys.
void DumpRegistryKey(const TRegKeySnapshot& key, const TRegistryKey& name, const TLineSink& sink);

// Per OS: the facts, and the places of the registry dump in order (on 64-bit
// Windows each root in both views, the 64-bit one first).
TRunHeaderInfo GatherRunHeaderInfo();
std::vector<TRegistryKey> UninstallRegistryPlaces();

} // namespace velmora
