#include "forceremove/AppFolders.h"
#include "forceremove/FileUnlocker.h"
#include "tests/frame/LogTestKit.h"
#include "MachineKit.h"

#include "api/Interfaces.Procyra.h"
#include "platform/LibraryLoader.h"
#include "platform/Module.h"
#include "platform/Registry.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// The logs of this program, every Windows test of the folder, go to a scratch folder.
class LogFolder : public ::testing::Environment {
public:
    void SetUp() override { Scratch = std::make_unique<TScratchLogFolder>(L"velmora-forceremove"); }
    void TearDown() override { Scratch.reset(); }
    static inline std::unique_ptr<TScratchLogFolder> Scratch;
};
[[maybe_unused]] const auto* const Environment = ::testing::AddGlobalTestEnvironment(new LogFolder);

std::wstring AgentClassKey() {
    wchar_t clsid[40];
    StringFromGUID2(CLSID_PYAgentManager, clsid, 40);
    return std::wstring(L"Software\\Classes\\CLSID\\") + clsid;
}

// Two programs of one vendor side by side, "App" being removed, "App Tools" staying.
TEST(FileUnlocker, EndsTheProgramsProcessesOnlyAndRegistersTheAgentForItsRunOnly) {
    const TTempFolder vendor(L"velmora-unlock-vendor");
    const std::wstring appFolder = vendor.Path.wstring() + L"\\App\\";
    TWaitingProgram program(appFolder);
    TWaitingProgram neighbour(vendor.Path.wstring() + L"\\App Tools\\");
    ASSERT_TRUE(program.Started() && neighbour.Started());
    TAppFolders folders(L"C:\\windows");
    folders.Add(appFolder);
    const std::wstring agent = ThisModuleFolder() + L"ProcyraHelper.Agent.x64.dll";

    RegisterLibrary(agent, false);

    TFileUnlocker(folders).Execute();

    EXPECT_TRUE(program.EndsWithin(5000));
    EXPECT_FALSE(neighbour.EndsWithin(0));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, AgentClassKey())) << "the agent's registration stayed";

    // A registration that was there before stays.
    ASSERT_TRUE(RegisterLibrary(agent, true));
    TFileUnlocker(folders).Execute();
    EXPECT_EQ(TRegKey::Open(HKEY_LOCAL_MACHINE, AgentClassKey() + L"\\InprocServer32").ReadString(L""),
              agent);
    EXPECT_FALSE(neighbour.EndsWithin(0));
    RegisterLibrary(agent, false);
}

} // namespace
