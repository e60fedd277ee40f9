#include "forceremove/AppFolders.h"
#include "forceremove/Services.h"
#include "forceremove/SimpleRemoveStrategy.h"
#include "MachineKit.h"
#include "platform/OSError.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

namespace {

// Two programs of one vendor side by side; program A is being removed.
class ServiceScanTest : public ::testing::Test {
protected:
    ServiceScanTest() {
        FAppFolders.Add(FAppA);
        WriteFile(FAppA + L"agent.exe", 300);
        WriteFile(FAppA + L"empty.exe", 0);
    }

    // Only the services this test made: the machine has others.
    std::vector<std::wstring> ListedOf(std::initializer_list<const TTestService*> made) const {
        std::vector<std::wstring> names;
        for (const auto& service : FServices)
            for (const TTestService* own : made)
                if (service->Name() == own->Name())
                    names.push_back(own->Name());
        return names;
    }

    const TTempFolder FScratch{L"velmora-vendor"};
    const std::wstring FAppA = FScratch.Path.wstring() + L"\\A\\", FAppB = FScratch.Path.wstring() + L"\\B\\",
                       FElsewhere = FScratch.Path.wstring() + L"\\Elsewhere\\";
    TAppFolders FAppFolders{L"C:\\windows"};
    TFRServiceList FServices;
    TFRServices FScanner{FAppFolders, FServices};
};

// A file of the same name and size elsewhere is another program's copy of a
// shared runtime, no evidence. The listed services are deleted, a failure
// (a service gone meanwhile) recorded on its service; that another program's
// service stays is checked end to end.
TEST_F(ServiceScanTest, ListsOnlyTheServicesWhoseProgramLiesInTheProgramsFolders) {
    TTestService inFolder(L"\"" + FAppA + L"agent.exe\" -service");
    TTestService vanished(FAppA + L"updater.exe");
    TTestService sameFile(L"\"" + WriteFile(FElsewhere + L"agent.exe", 300) + L"\"");
    TTestService otherProgram(L"\"" + WriteFile(FAppB + L"agent.exe", 301) + L"\" -service");
    TTestService unquotedOther(WriteFile(FAppB + L"helper.exe", 300));
    TTestService missingProgram(L"\"" + FElsewhere + L"empty.exe\"");

    FScanner.Run();

    EXPECT_THAT(ListedOf({&inFolder, &vanished, &sameFile, &otherProgram, &unquotedOther, &missingProgram}),
                UnorderedElementsAre(inFolder.Name(), vanished.Name()));
    std::erase_if(FServices, [&](const auto& service) {
        return service->Name() != inFolder.Name() && service->Name() != vanished.Name();
    });
    ASSERT_EQ(FServices.size(), 2u);
    for (const auto& service : FServices)
        if (service->Name() == inFolder.Name()) {
            EXPECT_EQ(service->Path(), L"\"" + FAppA + L"agent.exe\" -service");
            EXPECT_EQ(service->DisplayName(), inFolder.Name() + L" display");
        }
    vanished.Delete();

    TSimpleRemoveStrategy strategy;
    RemoveServices(FServices, strategy);

    for (const auto& service : FServices) {
        const bool gone = service->Name() == vanished.Name();
        EXPECT_EQ(service->Outcome().Removed(), !gone) << service->Name();
        EXPECT_THAT(service->Outcome().ErrorMessage(), HasSubstr(gone ? vanished.Name() : L""));
        EXPECT_EQ(service->Outcome().ErrorMessage().empty(), !gone);
    }
    EXPECT_FALSE(inFolder.Exists());
    try {
        strategy.RemoveService(inFolder.Name());
        ADD_FAILURE() << "removing a missing service did not raise";
    } catch (const EOSError& error) {
        EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    }
}

} // namespace
