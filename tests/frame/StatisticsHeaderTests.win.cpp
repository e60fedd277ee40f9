// The run header as Windows produces it, read back from the statistics file:
// the uninstall registry of both roots, each in both views on 64-bit Windows
// (64-bit first), in the dump format.
#include "LogTestKit.h"

#include "platform/Registry.h"

#include <gmock/gmock.h>

#include <algorithm>

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
// and entries the system's registry holds.
TEST(StatisticsHeader, DumpsTheUninstallEntriesOfBothRootsAndViews) {
    std::wstring name = UniqueName(L"VelmoraHeaderTest");
    TTestEntry machine(TRegRoot::LocalMachine, TRegView::x64, name + L"-machine");
    TTestEntry machine32(TRegRoot::LocalMachine, TRegView::x32, name + L"-machine32");
    TTestEntry user(TRegRoot::CurrentUser, TRegView::x64, name + L"-user");
    ASSERT_TRUE(machine.Key && machine32.Key && user.Key);
    ASSERT_TRUE(user.Key.WriteString(L"DisplayName", L"Sample App"));
    ASSERT_TRUE(user.Key.CreateSubKey(L"Child").WriteString(L"Note", L"nested"));

    auto from = StatisticsFileEnd();
    StatisticsLog::Reset();
    auto texts = StatisticsTextsSince(from);
    auto at = [&](const std::wstring& line) {
        return std::find(texts.begin(), texts.end(), line) - texts.begin();
    };
    std::vector<ptrdiff_t> order{
        at(RegistryKeyToStr(TRegView::x64, TRegRoot::LocalMachine, Uninstall)), at(machine.Text()),
        at(RegistryKeyToStr(TRegView::x32, TRegRoot::LocalMachine, Uninstall)), at(machine32.Text()),
        at(RegistryKeyToStr(TRegView::x64, TRegRoot::CurrentUser, Uninstall)),  at(user.Text())};
    ASSERT_LT(order.back() + 4, static_cast<ptrdiff_t>(texts.size()));
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(texts[order[0] - 1], std::wstring(80, L'-'));
    EXPECT_THAT(
        std::vector(texts.begin() + order.back() + 1, texts.begin() + order.back() + 5),
        ::testing::ElementsAre(L"DisplayName (REG_SZ) = \"Sample App\"", L"",
                               RegistryKeyToStr(TRegView::x64, TRegRoot::CurrentUser, user.Path + L"\\Child"),
                               L"Note (REG_SZ) = \"nested\""));
}

} // namespace
} // namespace velmora::testing
