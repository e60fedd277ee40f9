// A front end that ends its process while it still holds the library's objects.
#include "tests/library/LibraryHarness.h"

#include "platform/Format.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A program of the current user without a recorded size, so that the read
// queues its folder for a measurement.
class TUnsizedProgram {
public:
    explicit TUnsizedProgram(int files)
        : FName(Format(L"Velmora Exit Holder %d", static_cast<int>(GetCurrentProcessId()))),
          FFolder(std::filesystem::path(TempFolder()) / FName) {
        std::filesystem::create_directories(FFolder);
        for (int i = 0; i < files; ++i)
            std::ofstream(FFolder / Format(L"file%d.dat", i)) << "data";
        auto key = TRegKey::Create(HKEY_CURRENT_USER, UninstallKey + FName, KEY_ALL_ACCESS);
        key.WriteString(L"DisplayName", FName);
        key.WriteString(L"InstallLocation", FFolder.wstring());
        key.WriteString(L"UninstallString", L"C:\\Windows\\notepad.exe");
    }
    ~TUnsizedProgram() {
        DeleteKey(HKEY_CURRENT_USER, UninstallKey + FName);
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
    const std::wstring& Name() const { return FName; }

private:
    std::wstring FName;
    std::filesystem::path FFolder;
};

} // namespace

// The process ends with the library's threads and items alive: its threads
// are stopped wherever they stood (in a sleep, holding a lock), and nothing of
// the library may wait for them or be used after its teardown, whatever order
// that takes. A wrong teardown hangs or fails on some runs, not all.
TEST(FrontEndExit, EndsCleanlyWhileHoldingTheRootACollectionAndAProduct) {
    TUnsizedProgram program(50);
    for (int run = 0; run < 6; ++run) {
        auto [code, output] = RunProgram(ThisModuleFolder() + L"ExitHolder.exe",
                                         L"\"" + program.Name() + L"\"", std::chrono::seconds(30));
        ASSERT_EQ(code, 0) << "run " << run << (code == StillRunningCode ? ": still running after 30 s" : "")
                           << "\n"
                           << output;
    }
}
