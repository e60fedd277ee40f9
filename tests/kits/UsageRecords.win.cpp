#include "tests/kits/UsageRecords.h"

#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/kits/PrefetchWriter.h"

#include <oleauto.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace velmora::testing {

namespace {

constexpr std::wstring_view UserAssistKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\";

uint32_t PrefetchVersion() {
    return IsWindows10OrLater() ? 30 : IsWindows8OrLater() ? 26 : IsWindowsVistaOrLater() ? 23 : 17;
}

} // namespace

std::wstring_view ProgramLaunchKind() {
    return IsWindows7OrLater() ? L"{CEBFF5CD-ACE2-4F4F-9178-9926F41749EA}"
                               : L"{75048700-EF1F-11D0-9888-006097DEACF9}";
}

std::wstring LaunchKindKey(std::wstring_view kind) {
    return std::wstring(UserAssistKey) + std::wstring(kind);
}

bool WriteLaunchCounter(std::wstring_view kind, const std::wstring& name, int32_t runs, uint64_t lastRun) {
    const bool win7 = IsWindows7OrLater();
    std::vector<uint8_t> data(win7 ? 72 : 16, 0);
    std::memcpy(data.data() + 4, &runs, sizeof runs);
    std::memcpy(data.data() + (win7 ? 60 : 8), &lastRun, sizeof lastRun);
    const std::wstring value = win7 ? name : L"UEME_RUNPATH:" + name;
    const TRegKey key =
        TRegKey::Create(HKEY_CURRENT_USER, LaunchKindKey(kind) + L"\\Count", KEY_ALL_ACCESS, TRegView::x64);
    return key && key.WriteBinary(Rot13(value), data.data(), data.size());
}

std::wstring DevicePath(const std::wstring& path) {
    wchar_t device[MAX_PATH] = {};
    if (path.size() < 2 || !QueryDosDeviceW(path.substr(0, 2).c_str(), device, MAX_PATH))
        return {};
    return UpperCase(std::wstring(device) + path.substr(2));
}

std::wstring WritePrefetchFile(const std::wstring& program, int32_t runs, uint64_t lastRun,
                               std::wstring_view tag, const std::vector<std::wstring>& libraries) {
    TPrefetchDescription description;
    description.Version = PrefetchVersion();
    description.ExecutableName = UpperCase(ExtractFileName(program));
    description.Volume.DevicePath = DevicePath(program.substr(0, 2));
    description.Files = {DevicePath(WindowsFolder() + L"\\System32\\ntdll.dll")};
    for (const std::wstring& library : libraries)
        description.Files.push_back(DevicePath(library));
    description.Files.push_back(DevicePath(program));
    description.RunCount = runs;
    description.LastRuns = {lastRun};
    std::vector<uint8_t> bytes = WritePrefetchImage(description);
    if (IsWindows10OrLater())
        bytes = CompressPrefetchImage(bytes);
    const std::filesystem::path folder = WindowsFolder() + L"\\Prefetch";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path file =
        folder / (description.ExecutableName + L"-" + std::wstring(tag) + L".pf");
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out ? file.wstring() : std::wstring();
}

uint64_t LocalDateToFileTime(double date) {
    TIME_ZONE_INFORMATION zone;
    const int32_t bias = GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID ? 0 : zone.Bias;
    // OLE dates count days since 1899-12-30, file times 100 ns since 1601-01-01.
    return static_cast<uint64_t>((date + bias / 1440.0 + 109205.0) * 864000000000.0);
}

double LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    double date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

} // namespace velmora::testing
