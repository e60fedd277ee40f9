#include "tools/doubles/ProvisionedAppx.h"

#include "platform/Format.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tools/doubles/ServicingCommands.h"
#include "tools/doubles/ServicingStore.h"

#include <windows.h>

#include <string>

namespace velmora::doubles {

namespace {

constexpr std::wstring_view ProvisionedKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications\\";

// The tool's answer for a package that is not provisioned: the system's
// "file not found".
constexpr unsigned kNotProvisioned = ERROR_FILE_NOT_FOUND;

int RemoveProvisionedPackage(const std::wstring& packageName) {
    PrintBanner();
    std::optional<TOperationLock> lock = TOperationLock::Take();
    if (!lock)
        return ReportError(kOperationBusy, L"Another servicing operation is in progress. Try again later.");
    std::wstring key = std::wstring(ProvisionedKey) + packageName;
    if (packageName.empty() || !KeyExists(HKEY_LOCAL_MACHINE, key, TRegView::x64))
        return ReportError(kNotProvisioned, L"The system cannot find the file specified.");
    Print(Format(L"Removing package %s\r\n", packageName));
    return WorkWithProgress([&] {
        return DeleteKey(HKEY_LOCAL_MACHINE, key, TRegView::x64)
                   ? 0
                   : ReportError(ERROR_ACCESS_DENIED, L"Access is denied.");
    });
}

} // namespace

std::optional<int> RunProvisionedAppxCommand(int argc, wchar_t** argv) {
    const std::wstring nameOption = L"/PackageName:";
    bool command = false, online = false;
    std::optional<std::wstring> packageName, unknown;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (SameText(arg, L"/Remove-ProvisionedAppxPackage"))
            command = true;
        else if (SameText(arg, L"/Online"))
            online = true;
        else if (StartsWithText(arg, nameOption))
            packageName = arg.substr(nameOption.size());
        else if (!SameText(arg, L"/English") && !SameText(arg, L"/Quiet") && !SameText(arg, L"/NoRestart"))
            unknown = arg;
    }
    if (!command)
        return std::nullopt;
    if (unknown)
        return ReportError(kBadArgument, L"The option " + *unknown + L" is unknown to this double.");
    if (!online || !packageName)
        return ReportError(kBadArgument, L"Give /Online and /PackageName:<package full name>.");
    return RemoveProvisionedPackage(*packageName);
}

} // namespace velmora::doubles
