#pragma once
// The rules of the optional-components engine that need no system: a master
// list line, the component records, text substitution from a file's
// "Strings" section, the network and trusted component names and the answer
// file of a switch.
#include "features/SysOCIniFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

// One line of the master list: "component = dll, entry point, inf file, flags, ...".
struct TSysocFile {
    std::wstring FComponent;
    std::wstring FFileName; // full path of the component's own file
    std::wstring FDllEntryPoint;
    std::wstring FDllName;
    bool FHidden = false;
};

// infFolder ends with a path separator. A line of fewer than four fields
// gives only the component.
TSysocFile ParseSysocFile(const std::wstring& component, std::wstring_view value,
                          const std::wstring& infFolder);

// One optional component of a component file; texts as read.
struct TSysocComp {
    std::wstring FName;
    std::wstring FIconIndex;
    std::wstring FParent;
    std::wstring FDescription;
    std::wstring FSize;
    std::wstring FTip;
    std::wstring FPackage; // file name of the component file
};

// Name and value pairs of a file's "Strings" section, values unquoted.
using TSysocStrings = std::vector<std::pair<std::wstring, std::wstring>>;
TSysocStrings ReadSysocStrings(const TSysOCIniFile& ini);
// The text unquoted, with every "%name%" of the table (any case) replaced by its value.
std::wstring SubstituteSysocText(std::wstring_view text, const TSysocStrings& strings);

// The components of a file's "Optional Components" section that have a
// section of their own, in file order; package is the file's name.
std::vector<TSysocComp> ReadSysocComps(const TSysOCIniFile& ini, const std::wstring& package);

// An approximate size as a 32-bit number; 0 when it is not one.
int64_t SysocInstallSize(std::wstring_view size);

// Switched through the answer file's network section (ignoring case).
bool IsNetworkComponent(std::wstring_view name);
bool IsTrustedComponent(std::wstring_view name);

// The answer file that switches one component, as lines.
std::vector<std::wstring> SysocAnswerFileLines(const std::wstring& name, bool enable);
// tool: the manager's path as the command line names it.
std::wstring SysocCommandLine(const std::wstring& tool, const std::wstring& masterList,
                              const std::wstring& answerFile);

} // namespace velmora
