#include "tools/velmora/LeftoverReport.h"
#include "tests/TestBase.h"

#include <nlohmann/json.hpp>

using namespace velmora::cli;
using nlohmann::json;

namespace {

// A program's folder with one file, its uninstall key, a shortcut and no service.
TLeftovers Sample() {
    TLeftovers leftovers;
    leftovers.Files = {{L"C:\\App\\app.exe", 1536, false, true, true, L""},
                       {L"C:\\App\\app.dll", 2097152, false, false, false, L"Access is denied."},
                       {L"C:\\App", 0, true, true, true, L""}};
    leftovers.RegEntries = {{L"(x64)HKEY_LOCAL_MACHINE\\Software\\App", L"HKEY_LOCAL_MACHINE",
                             L"Software\\App", L"", 0x100, true}};
    leftovers.Shortcuts = {{{L"C:\\Menu\\App.lnk", 900, false, true, true, L""}, L"C:\\App\\app.exe"}};
    leftovers.TotalFiles = 3;
    leftovers.TotalSize = 2099588;
    return leftovers;
}

} // namespace

TEST(LeftoverReport, ReviewAndRemovalReportGroupTheItems) {
    TLeftovers leftovers = Sample();
    EXPECT_EQ(RenderLeftovers(leftovers), L"Files and folders (3):\n"
                                          L"      1.5 KB  C:\\App\\app.exe\n"
                                          L"      2.0 MB  C:\\App\\app.dll\n"
                                          L"      folder  C:\\App\n"
                                          L"Registry entries (1):\n"
                                          L"  (x64)HKEY_LOCAL_MACHINE\\Software\\App\n"
                                          L"Shortcuts (1):\n"
                                          L"  C:\\Menu\\App.lnk -> C:\\App\\app.exe\n"
                                          L"Services: none\n"
                                          L"Total: 3 files, 2.0 MB\n");
    TRemovalCounts counts{2, 2436, 1, 0, false};
    EXPECT_EQ(RenderRemoval(leftovers, counts), L"Files and folders (3):\n"
                                                L"  removed      C:\\App\\app.exe\n"
                                                L"  NOT removed  C:\\App\\app.dll: Access is denied.\n"
                                                L"  removed      C:\\App\n"
                                                L"Registry entries (1):\n"
                                                L"  removed      (x64)HKEY_LOCAL_MACHINE\\Software\\App\n"
                                                L"Shortcuts (1):\n"
                                                L"  removed      C:\\Menu\\App.lnk\n"
                                                L"Services: none\n"
                                                L"Files deleted: 2 of 3 (2.4 KB of 2.0 MB)\n"
                                                L"Registry entries handled: 1\n"
                                                L"Services removed: 0\n");
    EXPECT_FALSE(AllRemoved(leftovers));
    leftovers.Files[1].Removed = true;
    EXPECT_TRUE(AllRemoved(leftovers));
    leftovers.Shortcuts[0].File.Removed = false;
    EXPECT_FALSE(AllRemoved(leftovers));
    counts.Terminated = true;
    EXPECT_NE(RenderRemoval(leftovers, counts).find(L"ended before it was complete"), std::wstring::npos);
}

TEST(LeftoverReport, JsonCarriesEveryFieldAndTheRemovalCounts) {
    TLeftovers leftovers = Sample();
    leftovers.Files.resize(1);
    leftovers.Services = {{L"C:\\App\\svc.exe", L"AppSvc", L"App \u00e9 Service", false, L"in use"}};
    json scan = json::parse(velmora::Narrow(RenderLeftoversJson(leftovers)));
    EXPECT_EQ(scan, json::parse(R"({
        "files": [{"path": "C:\\App\\app.exe", "size": 1536, "isFolder": false, "removed": true,
                   "canRemove": true, "errorMessage": ""}],
        "registryEntries": [{"fullPath": "(x64)HKEY_LOCAL_MACHINE\\Software\\App", "root": "HKEY_LOCAL_MACHINE",
                             "key": "Software\\App", "valueName": "", "flag": 256, "removed": true}],
        "shortcuts": [{"file": {"path": "C:\\Menu\\App.lnk", "size": 900, "isFolder": false, "removed": true,
                                "canRemove": true, "errorMessage": ""},
                       "target": "C:\\App\\app.exe"}],
        "services": [{"path": "C:\\App\\svc.exe", "name": "AppSvc", "displayName": "App \u00e9 Service",
                      "removed": false, "errorMessage": "in use"}],
        "totalFiles": 3, "totalSize": 2099588})"));
    TRemovalCounts counts{1, 1536, 1, 0, false};
    json removal = json::parse(velmora::Narrow(RenderLeftoversJson(leftovers, &counts)))["removal"];
    EXPECT_EQ(removal, json::parse(R"({"filesProcessed": 1, "removedSize": 1536, "registryKeysProcessed": 1,
                                       "removedServiceCount": 0, "terminated": false, "allRemoved": false})"));
}

TEST(LeftoverReport, ProgressLineFitsItsWidthAndKeepsTheEndOfTheLabel) {
    EXPECT_EQ(ProgressLine(50, L"", 79), L"[##########----------]  50%");
    EXPECT_EQ(ProgressLine(140, L"done", 79), L"[####################] 100%  done");
    EXPECT_EQ(ProgressLine(-5, L"removing files C:\\Program Files\\App\\app.exe", 40),
              L"[--------------------]   0%  ...\\app.exe");
    EXPECT_EQ(ProgressLine(7, L"x", 10), L"[#--------");
}
