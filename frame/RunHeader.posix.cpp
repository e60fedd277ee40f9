#include "frame/RunHeader.h"

#include "platform/Format.h"
#include "platform/LogFile.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace velmora {

// Natively there is no Windows version: the header carries the time and
// what POSIX tells about the system and the user.
TRunHeaderInfo GatherRunHeaderInfo() {
    TRunHeaderInfo info;
    info.Time = FormatLogTime(logfs::LocalTimeNow());
    utsname system{};
    if (uname(&system) == 0) {
        info.Version = Widen(system.sysname) + L" " + Widen(system.release);
        info.Architecture = Widen(system.machine);
    }
    passwd entry{};
    passwd* user = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof(buffer), &user) == 0 && user)
        info.UserName = Widen(user->pw_name);
    info.UserIsAdmin = geteuid() == 0;
    return info;
}

// Natively there is no registry to walk (every place reads as missing); the
// places are those of a 32-bit Windows.
std::vector<TRegistryKey> UninstallRegistryPlaces() {
    const std::wstring path = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    return {{TRegView::Default, TRegRoot::LocalMachine, path},
            {TRegView::Default, TRegRoot::CurrentUser, path}};
}

} // namespace velmora
