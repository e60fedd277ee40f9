#include "forceremove/AppFolders.h"
#include "forceremove/Services.h"
#include "forceremove/SimpleRemoveStrategy.h"
#include "MachineKit.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAreArray;

// A service is A's when its program lies in A's folder, also when that
// program is missing; a file of the same name and size elsewhere is no
// evidence (also shown end to end). The listed services are deleted, a
// failure (a service gone meanwhile) recorded on its service.
TEST(ServiceScan, ListsOnlyTheServicesWhoseProgramLiesInTheProgramsFoldersAndDeletesThem) {
    const TTempFolder scratch{L"velmora-vendor"};
    const std::wstring appA = scratch.Path.wstring() + L"\\A\\", appB = scratch.Path.wstring() + L"\\B\\",
                       elsewhere = scratch.Path.wstring() + L"\\Elsewhere\\";
    WriteFile(appA + L"agent.exe", 300);
    WriteFile(appA + L"empty.exe", 0);
    const struct {
        std::wstring Command;
        bool Listed;
    } rows[] = {
        {L"\"" + appA + L"agent.exe\" -service", true},
        {appA + L"updater.exe", true}, // deleted before the removal
        {L"\"" + WriteFile(appB + L"agent.exe", 300) + L"\" -service", false},
        {L"\"" + elsewhere + L"empty.exe\"", false},
    };
    std::vector<std::unique_ptr<TTestService>> services;
    std::vector<std::wstring> expected;
    for (const auto& row : rows) {
        services.push_back(std::make_unique<TTestService>(row.Command));
        const std::wstring& name = services.back()->Name();
        if (row.Listed)
            expected.push_back(name + L" | " + row.Command + L" | " + name + L" display");
    }
    TAppFolders folders(L"C:\\windows");
    folders.Add(appA);
    TFRServiceList listed;
    TFRServices(folders, listed).Run();
    // Only the services this test made: the machine has others.
    std::erase_if(listed, [&](const auto& service) {
        return std::ranges::none_of(services,
                                    [&](const auto& own) { return own->Name() == service->Name(); });
    });
    std::vector<std::wstring> found;
    for (const auto& service : listed)
        found.push_back(service->Name() + L" | " + service->Path() + L" | " + service->DisplayName());
    EXPECT_THAT(found, UnorderedElementsAreArray(expected));
    const TTestService &inFolder = *services[0], &vanished = *services[1];
    vanished.Delete();

    TSimpleRemoveStrategy strategy;
    RemoveServices(listed, strategy);
    for (const auto& service : listed) {
        const bool gone = service->Name() == vanished.Name();
        EXPECT_EQ(service->Outcome().Removed(), !gone) << service->Name();
        EXPECT_THAT(service->Outcome().ErrorMessage(), HasSubstr(gone ? vanished.Name() : L""));
        EXPECT_EQ(service->Outcome().ErrorMessage().empty(), !gone);
    }
    EXPECT_FALSE(inFolder.Exists());
}
