// Test double of the servicing tool of Windows 7 and later, acting on the
// machine it runs on. It knows the two commands the library runs:
//   DISM.exe /Online /English /Get-Features /Format:Table
//   DISM.exe /Online /Apply-Unattend:"<answer file>"
//   DISM.exe /Online /Remove-Package /PackageName:<package key>
// and the app-package command of ProvisionedAppx.h.
// Options are matched ignoring letter case; /English, /Quiet and /NoRestart
// change nothing. Anything else answers "Error: 87".
#include "platform/ComObject.h"
#include "platform/Text.h"
#include "tools/doubles/ProvisionedAppx.h"
#include "tools/doubles/PackageRemoval.h"
#include "tools/doubles/ServicingCommands.h"

#include <optional>
#include <string>

using namespace velmora;
using namespace velmora::doubles;

int wmain(int argc, wchar_t** argv) {
    TComApartmentGuard com;
    if (std::optional<int> code = RunProvisionedAppxCommand(argc, argv))
        return *code;
    const std::wstring applyOption = L"/Apply-Unattend:";
    const std::wstring packageOption = L"/PackageName:";
    bool online = false, getFeatures = false, removePackage = false;
    std::optional<std::wstring> answerFile, packageName;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (SameText(arg, L"/Online"))
            online = true;
        else if (SameText(arg, L"/Get-Features"))
            getFeatures = true;
        else if (StartsWithText(arg, applyOption) && arg.size() > applyOption.size())
            answerFile = arg.substr(applyOption.size());
        else if (SameText(arg, L"/Remove-Package"))
            removePackage = true;
        else if (StartsWithText(arg, packageOption) && arg.size() > packageOption.size())
            packageName = arg.substr(packageOption.size());
        else if (!SameText(arg, L"/English") && !SameText(arg, L"/Format:Table") &&
                 !SameText(arg, L"/Quiet") && !SameText(arg, L"/NoRestart"))
            return ReportError(kBadArgument, L"The option " + arg + L" is unknown to this double.");
    }
    if (!online || getFeatures + answerFile.has_value() + removePackage != 1 ||
        removePackage != packageName.has_value())
        return ReportError(kBadArgument, L"Give /Online and one of /Get-Features, /Apply-Unattend:<file> "
                                         L"and /Remove-Package /PackageName:<name>.");
    if (removePackage)
        return RemovePackage(*packageName);
    return getFeatures ? GetFeatures() : ApplyAnswerFile(*answerFile);
}
