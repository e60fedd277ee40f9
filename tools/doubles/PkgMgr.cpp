// Test double of the package manager of Windows Vista, acting on the machine
// it runs on. It knows the command the library runs to switch features:
//   PkgMgr.exe /n:"<answer file>"
// /quiet and /norestart change nothing. Removing a package (/up:) is not
// done by this double: it answers "Error: 87", as for anything else.
#include "platform/ComObject.h"
#include "platform/Text.h"
#include "tools/doubles/PackageRemoval.h"
#include "tools/doubles/ServicingCommands.h"

#include <optional>
#include <string>

using namespace velmora;
using namespace velmora::doubles;

int wmain(int argc, wchar_t** argv) {
    TComApartmentGuard com;
    std::optional<std::wstring> answerFile, packageName;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (StartsWithText(arg, L"/n:") && arg.size() > 3 && !answerFile)
            answerFile = arg.substr(3);
        else if (StartsWithText(arg, L"/up:") && arg.size() > 4 && !packageName)
            packageName = arg.substr(4);
        else if (!SameText(arg, L"/quiet") && !SameText(arg, L"/norestart"))
            return ReportError(kBadArgument, L"The option " + arg + L" is unknown to this double.");
    }
    if (answerFile.has_value() == packageName.has_value())
        return ReportError(kBadArgument, L"Give one of /n:<answer file> and /up:<package>.");
    return answerFile ? ApplyAnswerFile(*answerFile) : RemovePackage(*packageName);
}
