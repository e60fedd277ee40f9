// The native build has no registry, icons, installer, executable catalogue
// or reputation component: a program there keeps what its kind's fast
// reading gave it.
#include "inventory/ItemProgram.h"

#include "platform/PathText.h"

#include <ctime>
#include <filesystem>

namespace velmora {

namespace program_os {

// The executable stands for the library's file.
std::wstring QueryHostFolder() {
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return exe.parent_path().wstring() + L"/";
}

void CreateIconList() {}
void FreeIconList() {}
void FreeProgramIcon(int32_t) {}

} // namespace program_os

void TItemProgram::ReadFastData() {}
void TItemProgram::DoReadExtendedInfo() {}
void TItemProgram::DoReadImages() {}
void TItemProgram::DoReadSlowInfo() {}
void TItemProgram::ReadSoftwareRating(TItemFolder*) {}

// Never called: without a registry no key is read.
void TItemProgram::ReadRegistryValues(const TRegKey&) {}
void TItemProgram::ReadCommands(const TRegKey&) {}

double NowOleDate() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // Days since 1899-12-30 (the OLE epoch), as the date's calendar fields say.
    std::tm epoch{};
    epoch.tm_year = 70;
    epoch.tm_mday = 1;
    local.tm_isdst = 0;
    double sinceUnix = std::difftime(timegm(&local), timegm(&epoch));
    return 25569.0 + sinceUnix / 86400.0;
}

} // namespace velmora
