// The root object from the inside: engine choice, the list-read hook's ARP
// refresh and the optional-features launcher, on each Windows version prefix.
#include "tests/library/LibraryHarness.h"

#include "features/FeatureManager.h"
#include "frame/DebugLog.h"
#include "frame/Velmora.h"
#include "platform/Format.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

using namespace velmora;
using namespace velmora::testing;
using namespace std::chrono_literals;

namespace {

// The Windows version the test prefix reports, as the Wine runner set it.
std::string PrefixVersion() {
    const char* version = std::getenv("VELMORA_WINE_VERSION");
    return version && *version ? version : "win7";
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::wstring ReadCalls(const std::wstring& path) {
    std::string bytes = ReadBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

size_t CountStatisticsLines(const std::string& text) {
    std::string log = ReadBytes(StatisticsLog::Instance().FileName());
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++count;
    return count;
}

} // namespace

TEST(Root, FeatureEngineFollowsTheWindowsGeneration) {
    const std::map<std::string, std::wstring> expected = {
        {"winxp64", L"TSysocEngine"}, {"vista", L"TMumEngine"},     {"win7", L"TMumEngine"},
        {"win8", L"TMumEngineWin8"},  {"win10", L"TMumEngineWin8"},
    };
    auto it = expected.find(PrefixVersion());
    ASSERT_NE(it, expected.end()) << "unknown prefix version " << PrefixVersion();
    auto root = MakeCom<TVelmora, IVelmora>();
    ASSERT_NE(TVelmora::FeatureManager(), nullptr);
    EXPECT_EQ(std::wstring(TVelmora::FeatureManager()->ClassName()), it->second);
}

// A program-list read runs neither the feature read nor the ARP hook; a full
// read runs both, the hook's thread at most once per cycle.
TEST(Root, FeatureReadAndARPCacheRefreshFollowAFullReadOnly) {
    const size_t begun = CountStatisticsLines("Begin update system ARP Cache.");
    const size_t ended = CountStatisticsLines("End update system ARP Cache.");
    {
        auto root = MakeCom<TVelmora, IVelmora>();
        TComPtr<IFeatures> features;
        root->GetFeatures(features.put());
        root->RequestARPCacheRefresh();
        root->RefreshProgramList();
        ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoading; }));
        EXPECT_EQ(features->GetReadState(), TReadState::rsNonw);
        EXPECT_EQ(TVelmora::ARPRefreshThread(), nullptr);

        root->Refresh();
        ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
        EXPECT_TRUE(WaitUntil([&] { return features->GetReadState() == TReadState::rsLoaded; }));
        TThread* first = TVelmora::ARPRefreshThread();
        ASSERT_NE(first, nullptr);
        root->RequestARPCacheRefresh();
        root->Refresh();
        ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
        EXPECT_EQ(TVelmora::ARPRefreshThread(), first) << "the thread object is never started twice";
        root->Stop();
        // The refresh writes its end line whether or not the shell could enumerate.
        EXPECT_TRUE(
            WaitUntil([&] { return CountStatisticsLines("End update system ARP Cache.") == ended + 1; }));
        EXPECT_EQ(CountStatisticsLines("Begin update system ARP Cache."), begun + 1);
    }
    auto next = MakeCom<TVelmora, IVelmora>();
    EXPECT_EQ(TVelmora::ARPRefreshThread(), nullptr) << "a new cycle starts without one";
}

TEST(Root, ComponentToolIsStartedOrBroughtToTheFront) {
    if (PrefixVersion() != "winxp64")
        GTEST_SKIP() << "the component tool is the launcher's choice before Windows Vista";
    wchar_t system[MAX_PATH], windir[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    GetWindowsDirectoryW(windir, MAX_PATH);
    const std::wstring tool = std::wstring(system) + L"\\Sysocmgr.exe";
    const std::wstring calls = tool + L".calls";
    ASSERT_TRUE(CopyFileW((ThisModuleFolder() + L"sysocmgr_double.exe").c_str(), tool.c_str(), FALSE));
    DeleteFileW(calls.c_str());
    auto root = MakeCom<TVelmora, IVelmora>();

    root->ShowWindowsFeatures();
    ASSERT_TRUE(WaitUntil([&] { return !ReadCalls(calls).empty(); }));
    EXPECT_NE(ReadCalls(calls).find(Format(L"/i:%s\\inf\\sysoc.inf", windir)), std::wstring::npos)
        << Narrow(ReadCalls(calls));

    // While the tool runs (it holds the "sysoc" mutex) nothing new is started.
    DeleteFileW(calls.c_str());
    unique_handle running(CreateMutexW(nullptr, FALSE, L"sysoc"));
    root->ShowWindowsFeatures();
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(ReadCalls(calls).empty());

    DeleteFileW(tool.c_str());
    DeleteFileW(calls.c_str());
}
