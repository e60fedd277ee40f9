// The run header as Windows produces it, read back from the statistics file:
// the uninstall registry of both roots, each in both views on 64-bit Windows
// (64-bit first), in the dump format.
#include "LogTestKit.h"

#include "platform/Registry.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace velmora::testing {
namespace {

constexpr std::wstring_view Uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// An uninstall entry that exists for one test. The parent key may be created
// with it and stays: other tests of the prefix may be reading it.
struct TTestEntry {
    TTestEntry(TRegRoot root, TRegView view, const std::wstring& name)
        : Root(root), View(view), Path(std::wstring(Uninstall) + L"\\" + name),
          Key(TRegKey::Create(root, Path, KEY_READ | KEY_WRITE, view)) {}
    ~TTestEntry() {
        Key = TRegKey();
        DeleteKey(Root, Path, View);
    }
    std::wstring Text() const { return RegistryKeyToStr(View, Root, Path); }
    TRegRoot Root;
    TRegView View;
    std::wstring Path;
    TRegKey Key;
};

// The dump format itself is the run header's native test; here the places
// and entries the system's registry holds: the machine's in both views, then
// the user's.
TEST(StatisticsHeader, DumpsTheUninstallEntriesOfBothRootsAndViews) {
    const std::wstring name = UniqueName(L"VelmoraHeaderTest");
    std::vector<std::unique_ptr<TTestEntry>> entries;
    for (auto [root, view] : {std::pair{TRegRoot::LocalMachine, TRegView::x64},
                              {TRegRoot::LocalMachine, TRegView::x32},
                              {TRegRoot::CurrentUser, TRegView::x64}}) {
        entries.push_back(std::make_unique<TTestEntry>(root, view, name + std::to_wstring(entries.size())));
        ASSERT_TRUE(entries.back()->Key);
    }
    const TTestEntry& user = *entries.back();
    ASSERT_TRUE(user.Key.WriteString(L"DisplayName", L"Sample App"));
    ASSERT_TRUE(user.Key.CreateSubKey(L"Child").WriteString(L"Note", L"nested"));

    auto from = StatisticsFileEnd();
    StatisticsLog::Reset();
    auto texts = StatisticsTextsSince(from);
    std::vector<ptrdiff_t> order;
    for (const auto& entry : entries)
        for (const std::wstring& line :
             {RegistryKeyToStr(entry->View, entry->Root, Uninstall), entry->Text()})
            order.push_back(std::find(texts.begin(), texts.end(), line) - texts.begin());
    ASSERT_LT(order.back() + 4, static_cast<ptrdiff_t>(texts.size()));
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_THAT(
        std::vector(texts.begin() + order.back() + 1, texts.begin() + order.back() + 5),
        ::testing::ElementsAre(L"DisplayName (REG_SZ) = \"Sample App\"", L"",
                               RegistryKeyToStr(TRegView::x64, TRegRoot::CurrentUser, user.Path + L"\\Child"),
                               L"Note (REG_SZ) = \"nested\""));
}

} // namespace
} // namespace velmora::testing
