// Registry keys as a walk read them, and the walks of one read shared
// through the calling thread: plain data, tested with walks made up here.
#include "platform/RegistrySnapshot.h"

#include "platform/Thread.h"
#include "tests/SnapshotKit.h"
#include "tests/TestBase.h"

using namespace velmora;
using velmora::testing::SnapshotKey;
using velmora::testing::Utf16;

namespace {

const TRegistryKey Uninstall{TRegView::x64, TRegRoot::LocalMachine,
                             L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};

} // namespace

TEST(RegistrySnapshotData, ValueDataDecodesAsTheRegistryStoresIt) {
    EXPECT_EQ(DecodeRegText(Utf16(L"plain")), L"plain");
    // No terminator, and an odd byte left over.
    auto odd = Utf16(L"abc", false);
    odd.push_back('x');
    EXPECT_EQ(DecodeRegText(odd), L"abc");
    EXPECT_EQ(DecodeRegText(Utf16(std::wstring(L"cut\0rest", 8))), L"cut");
    EXPECT_EQ(DecodeRegText(Utf16(L"\x4E2D\x6587")), L"\x4E2D\x6587");

    auto multi = Utf16(L"en-US");
    auto second = Utf16(L"de-DE");
    multi.insert(multi.end(), second.begin(), second.end());
    multi.insert(multi.end(), {0, 0});
    auto hidden = Utf16(L"after the end");
    multi.insert(multi.end(), hidden.begin(), hidden.end());
    EXPECT_EQ(DecodeRegMultiText(multi), (std::vector<std::wstring>{L"en-US", L"de-DE"}));
    EXPECT_EQ(DecodeRegMultiText(Utf16(L"unterminated", false)),
              (std::vector<std::wstring>{L"unterminated"}));
    EXPECT_TRUE(DecodeRegMultiText({}).empty());

    EXPECT_EQ(DecodeRegNumber(std::vector<uint8_t>{0x2A, 0x01, 0, 0x80}), 0x8000012Au);
    EXPECT_EQ(DecodeRegNumber(std::vector<uint8_t>{1, 2, 3}), std::nullopt);
    EXPECT_EQ(DecodeRegNumber(std::vector<uint8_t>{1, 2, 3, 4, 5}), std::nullopt);
}

TEST(RegistrySnapshotData, ValuesAndSubKeysAreFoundWithoutRegardToCase) {
    auto properties = SnapshotKey(L"InstallProperties", {{L"DisplayName", RegTypeString, Utf16(L"Inner")}});
    auto listedOnly = std::make_shared<TRegKeySnapshot>();
    listedOnly->Name = L"Features";
    auto product =
        SnapshotKey(L"Product", {{L"Version", RegTypeNumber, {1, 0, 0, 0}}}, {listedOnly, properties});
    auto root = SnapshotKey(L"Products", {}, {product});

    ASSERT_NE(product->FindValue(L"VERSION"), nullptr);
    EXPECT_EQ(product->FindValue(L"VERSION")->Name, L"Version");
    EXPECT_EQ(product->FindValue(L"Versio"), nullptr);
    EXPECT_EQ(root->FindSubKey(L"product"), product);
    EXPECT_EQ(root->FindSubKey(L"\\PRODUCT\\installproperties\\"), properties);
    EXPECT_EQ(root->FindSubKey(L"Product\\Missing"), nullptr);
    // A subkey the walk did not go into is listed; below it nothing is known.
    EXPECT_EQ(root->FindSubKey(L"Product\\Features"), listedOnly);
    EXPECT_EQ(root->FindSubKey(L"Product\\Features\\Any"), nullptr);
    EXPECT_EQ(root->FindSubKey(L""), nullptr);
}

TEST(RegistrySnapshotWalks, EachPlaceIsWalkedOnceWithItsFirstRuleAndAStoppedWalkIsNotKept) {
    std::vector<std::wstring> walks;
    std::vector<bool> descendsIntoFeatures;
    bool stopNext = false;
    TRegistrySnapshot snapshot([&](const TRegistryKey& key, const TRegDescend& descend) {
        walks.push_back(key.Text());
        descendsIntoFeatures.push_back(!descend || descend(2, L"Features"));
        if (std::exchange(stopNext, false))
            throw EAbort();
        return key.Root == TRegRoot::CurrentUser ? nullptr : SnapshotKey(L"Uninstall");
    });

    auto first = snapshot.Read(Uninstall);
    ASSERT_NE(first, nullptr);
    // The same key in another spelling, and with another rule.
    EXPECT_EQ(snapshot.Read({TRegView::x64, TRegRoot::LocalMachine,
                             L"software\\MICROSOFT\\windows\\"
                             L"CurrentVersion\\Uninstall\\"},
                            [](size_t, std::wstring_view) { return false; }),
              first);
    // The other view is another key; a missing key is remembered as missing.
    auto other = snapshot.Read({TRegView::x32, Uninstall.Root, Uninstall.Path});
    EXPECT_NE(other, first);
    const TRegistryKey user{TRegView::x64, TRegRoot::CurrentUser, Uninstall.Path};
    EXPECT_EQ(snapshot.Read(user), nullptr);
    EXPECT_EQ(snapshot.Read(user), nullptr);
    EXPECT_EQ(walks.size(), 3u);

    const TRegistryKey products{TRegView::x64, TRegRoot::LocalMachine,
                                L"Software\\Classes\\Installer\\Products"};
    stopNext = true;
    EXPECT_THROW(snapshot.Read(products, [](size_t depth, std::wstring_view) { return depth < 2; }), EAbort);
    EXPECT_NE(snapshot.Read(products, [](size_t depth, std::wstring_view) { return depth < 2; }), nullptr);
    EXPECT_EQ(walks.size(), 5u);
    EXPECT_EQ(descendsIntoFeatures, (std::vector<bool>{true, true, true, false, false}));
}

TEST(RegistrySnapshotWalks, AScopeSharesItsWalksWithItsOwnThreadOnly) {
    EXPECT_EQ(TRegistrySnapshot::Current(), nullptr);
    auto outer = std::make_shared<TRegistrySnapshot>();
    auto inner = std::make_shared<TRegistrySnapshot>();
    {
        TRegistrySnapshot::TScope outerScope(outer);
        EXPECT_EQ(TRegistrySnapshot::Current(), outer);
        {
            TRegistrySnapshot::TScope innerScope(inner);
            EXPECT_EQ(TRegistrySnapshot::Current(), inner);
            std::shared_ptr<TRegistrySnapshot> seenElsewhere = outer;
            std::thread([&] { seenElsewhere = TRegistrySnapshot::Current(); }).join();
            EXPECT_EQ(seenElsewhere, nullptr);
        }
        EXPECT_EQ(TRegistrySnapshot::Current(), outer);
    }
    EXPECT_EQ(TRegistrySnapshot::Current(), nullptr);
}
