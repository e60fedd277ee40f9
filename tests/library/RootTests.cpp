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

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH];
    GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\";
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
        {"win8", L"TMumEngineWin8"},  {"win81", L"TMumEngineWin8"}, {"win10", L"TMumEngineWin8"},
    };
    auto it = expected.find(PrefixVersion());
    ASSERT_NE(it, expected.end()) << "unknown prefix version " << PrefixVersion();
    auto root = MakeCom<TVelmora, IVelmora>();
    ASSERT_NE(TVelmora::FeatureManager(), nullptr);
    EXPECT_EQ(std::wstring(TVelmora::FeatureManager()->ClassName()), it->second);

    TComPtr<IFeatures> features;
    root->GetFeatures(features.put());
    EXPECT_EQ(features.get(), static_cast<IFeatures*>(TVelmora::FeatureManager()));
}

TEST(Root, FeatureManagerIsReadAfterTheFirstPassOfAFullReadOnly) {
    auto root = MakeCom<TVelmora, IVelmora>();
    TComPtr<IFeatures> features;
    root->GetFeatures(features.put());
    root->RefreshProgramList();
    ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoading; }));
    EXPECT_EQ(features->GetReadState(), TReadState::rsNonw);
    root->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
    EXPECT_TRUE(WaitUntil([&] { return features->GetReadState() == TReadState::rsLoaded; }));
    root->Stop();
}

TEST(Root, ARPCacheRefreshStartsAfterAFullReadAtMostOncePerCycle) {
    const size_t begun = CountStatisticsLines("Begin update system ARP Cache.");
    const size_t ended = CountStatisticsLines("End update system ARP Cache.");
    {
        auto root = MakeCom<TVelmora, IVelmora>();
        root->RequestARPCacheRefresh();
        root->RefreshProgramList();
        ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoading; }));
        EXPECT_EQ(TVelmora::ARPRefreshThread(), nullptr) << "a program-list read does not run the hook";

        root->Refresh();
        ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
        ASSERT_NE(TVelmora::ARPRefreshThread(), nullptr);
        TThread* first = TVelmora::ARPRefreshThread();

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
    const std::wstring tool = SystemFolder() + L"Sysocmgr.exe";
    const std::wstring calls = tool + L".calls";
    ASSERT_TRUE(CopyFileW((ThisModuleFolder() + L"sysocmgr_double.exe").c_str(), tool.c_str(), FALSE));
    DeleteFileW(calls.c_str());
    auto root = MakeCom<TVelmora, IVelmora>();

    root->ShowWindowsFeatures();
    ASSERT_TRUE(WaitUntil([&] { return !ReadCalls(calls).empty(); }));
    wchar_t windir[MAX_PATH];
    GetWindowsDirectoryW(windir, MAX_PATH);
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

TEST(Root, LauncherWithoutAnyToolReportsNothing) {
    auto root = MakeCom<TVelmora, IVelmora>();
    EXPECT_NO_THROW(root->ShowWindowsFeatures());
}
