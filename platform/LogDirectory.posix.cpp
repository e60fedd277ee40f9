#include "platform/LogDirectory.h"

#include "platform/Format.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velmora {

std::wstring DefaultLogDirectory() {
    if (const char* dir = std::getenv("VELMORA_LOG_DIR"); dir && *dir)
        return Widen(dir);
    const char* temp = std::getenv("TMPDIR");
    std::wstring base = temp && *temp ? Widen(temp) : std::wstring(L"/tmp");
    while (base.size() > 1 && base.back() == L'/')
        base.pop_back();
    return base + L"/Velmora/Logs";
}

namespace logfs {

std::string_view LineBreak() {
    return "\n";
}

bool CreateFolders(const std::wstring& folder) {
    if (folder.empty())
        return false;
    std::string path = Narrow(folder);
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t cut = folder.find_last_of(L'/');
    if (cut != std::wstring::npos && cut > 0)
        CreateFolders(folder.substr(0, cut));
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

std::FILE* OpenForAppend(const std::wstring& path) {
    return std::fopen(Narrow(path).c_str(), "ab");
}

bool RenameReplacing(const std::wstring& from, const std::wstring& to) {
    return std::rename(Narrow(from).c_str(), Narrow(to).c_str()) == 0;
}

TLocalTime LocalTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(now.tv_nsec / 1000000)};
}

uint64_t CurrentThreadNumber() {
    return static_cast<uint64_t>(syscall(SYS_gettid));
}

} // namespace logfs
} // namespace velmora
