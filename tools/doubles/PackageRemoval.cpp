#include "tools/doubles/PackageRemoval.h"

#include "platform/Format.h"
#include "tools/doubles/ServicingCommands.h"
#include "tools/doubles/ServicingStore.h"

#include <windows.h>

namespace velmora::doubles {

namespace {

// The codes the servicing stack answers for a package it does not have
// installed and for one that cannot be uninstalled.
constexpr unsigned kPackageNotInstalled = 0x800f0805;
constexpr unsigned kPackageCannotUninstall = 0x800f0825;

} // namespace

int RemovePackage(const std::wstring& packageKey) {
    PrintBanner();
    std::optional<TOperationLock> lock = TOperationLock::Take();
    if (!lock)
        return ReportError(kOperationBusy, L"Another servicing operation is in progress. Try again later.");
    std::optional<DWORD> state = PackageState(packageKey);
    std::optional<bool> permanent = IsPermanentPackage(packageKey);
    if (!state || *state == kPackageAbsent || !permanent)
        return ReportError(kPackageNotInstalled, Format(L"The package %s is not installed.", packageKey));
    if (*permanent)
        return ReportError(kPackageCannotUninstall,
                           Format(L"The package %s is permanent and cannot be uninstalled.", packageKey));
    Print(Format(L"Uninstalling %s\r\n", packageKey));
    return WorkWithProgress([&] {
        if (!WritePackageState(packageKey, kPackageAbsent))
            return ReportError(GetLastError(), Format(L"The state of %s cannot be written.", packageKey));
        return 0;
    });
}

} // namespace velmora::doubles
