// The root object from the inside: engine choice, the list-read hook's ARP
// refresh and the optional-features launcher, on each Windows version prefix.
#include "tests/library/LibraryHarness.h"

#include "features/FeatureManager.h"
#include "frame/DebugLog.h"
#include "library/Velmora.h"
#include "platform/Format.h"
#include "platform/Paths.h"
#include "platform/ProcessList.h"
#include "platform/Text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

using namespace velmora;
using namespace velmora::testing;

namespace {

// The Windows version the test prefix reports, as the Wine runner set it.
std::string PrefixVersion() {
    const char* version = std::getenv("VELMORA_WINE_VERSION");
    return version && *version ? version : "win7";
}

template <class Char> std::basic_string<Char> Contents(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return std::basic_string<Char>(reinterpret_cast<const Char*>(bytes.data()), bytes.size() / sizeof(Char));
}

size_t CountStatisticsLines(const std::string& text) {
    std::string log = Contents<char>(StatisticsLog::Instance().FileName());
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
    EXPECT_EQ(TVelmora::FeatureManager()->ClassName(), it->second);
}

// Root objects share one inventory and one feature manager. A program-list
// read runs neither the feature read nor the ARP hook, and a stop keeps its
// state; a full read runs both, the hook's thread at most once per cycle.
TEST(Root, FeatureReadAndARPCacheRefreshFollowAFullReadOnly) {
    const size_t ended = CountStatisticsLines("End update system ARP Cache.");
    auto root = MakeCom<TVelmora, IVelmora>(), other = MakeCom<TVelmora, IVelmora>();
    EXPECT_EQ(other->GetReadState(), TReadState::rsNonw) << "nothing is read before Refresh";
    TComPtr<IFeatures> features, othersFeatures;
    root->GetFeatures(features.put());
    other->GetFeatures(othersFeatures.put());
    EXPECT_EQ(features.get(), othersFeatures.get());
    root->RequestARPCacheRefresh();
    root->RefreshProgramList();
    ASSERT_TRUE(WaitUntil([&] { return other->GetReadState() == TReadState::rsLoading; }));
    EXPECT_EQ(features->GetReadState(), TReadState::rsNonw);
    EXPECT_EQ(TVelmora::ARPRefreshThread(), nullptr);
    other->Stop();
    EXPECT_EQ(root->GetReadState(), TReadState::rsLoading) << "Stop keeps the last state";
    other.reset();

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
    EXPECT_TRUE(WaitUntil([&] { return CountStatisticsLines("End update system ARP Cache.") == ended + 1; }));
}

TEST(Root, ComponentToolIsStartedOrBroughtToTheFront) {
    if (PrefixVersion() != "winxp64")
        GTEST_SKIP() << "the component tool is the launcher's choice before Windows Vista";
    const std::wstring tool = SystemFolder() + L"\\Sysocmgr.exe";
    const std::wstring calls = tool + L".calls";
    ASSERT_TRUE(CopyFileW((ThisModuleFolder() + L"sysocmgr_double.exe").c_str(), tool.c_str(), FALSE));
    DeleteFileW(calls.c_str());
    auto root = MakeCom<TVelmora, IVelmora>();

    root->ShowWindowsFeatures();
    ASSERT_TRUE(WaitUntil([&] { return !Contents<wchar_t>(calls).empty(); }));
    EXPECT_NE(Contents<wchar_t>(calls).find(Format(L"/i:%s\\inf\\sysoc.inf", WindowsFolder())),
              std::wstring::npos)
        << Narrow(Contents<wchar_t>(calls));

    // While the tool runs (it holds the "sysoc" mutex) nothing new is started.
    // Starts happen within the call: once the call that may start it has
    // returned and no copy of the tool runs any more, the calls file holds
    // every start.
    auto toolGone = [] { return FindProcesses(L"sysocmgr.exe").empty(); };
    ASSERT_TRUE(WaitUntil(toolGone));
    DeleteFileW(calls.c_str());
    unique_handle running(CreateMutexW(nullptr, FALSE, L"sysoc"));
    root->ShowWindowsFeatures();
    running.reset();
    root->ShowWindowsFeatures();
    ASSERT_TRUE(WaitUntil(toolGone));
    EXPECT_EQ(SplitLines(Contents<wchar_t>(calls)).size(), 1u) << Narrow(Contents<wchar_t>(calls));

    DeleteFileW(tool.c_str());
    DeleteFileW(calls.c_str());
}

// The reading thread takes the hook and may still be inside it when the last
// root object goes: what remains of the hook then starts no refresh, and the
// next first root object starts with a clean request and no thread.
TEST(Root, AListReadHookOutlivingTheLastRootStartsNoRefreshAndTheNextCycleStartsClean) {
    const size_t begun = CountStatisticsLines("Begin update system ARP Cache.");
    auto root = MakeCom<TVelmora, IVelmora>();
    root->RequestARPCacheRefresh();
    std::function<void()> hookInProgress = TLocationOwner::OnListRead();
    ASSERT_TRUE(hookInProgress);
    root.reset();
    hookInProgress();
    EXPECT_EQ(TVelmora::ARPRefreshThread(), nullptr) << "a refresh started after the teardown";

    root = MakeCom<TVelmora, IVelmora>();
    EXPECT_EQ(TVelmora::ARPRefreshThread(), nullptr);
    root->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
    EXPECT_EQ(TVelmora::ARPRefreshThread(), nullptr) << "a request of the old cycle was kept";
    root->RequestARPCacheRefresh();
    root->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
    EXPECT_NE(TVelmora::ARPRefreshThread(), nullptr) << "the new cycle's request started nothing";
    root.reset();
    EXPECT_EQ(CountStatisticsLines("Begin update system ARP Cache."), begun + 1);
}
