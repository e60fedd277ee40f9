#include "platform/PackageIdentity.h"
#include "platform/Sha256.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

std::string Hex(const TSha256Digest& digest) {
    static const char Digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text.push_back(Digits[b >> 4]);
        text.push_back(Digits[b & 15]);
    }
    return text;
}

} // namespace

TEST(Sha256, KnownDigestsAcrossBlockBoundaries) {
    EXPECT_EQ(Hex(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex(Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(PackageIdentity, PublisherIdAndNamesFollowWindowsRule) {
    // Publisher ids as Windows shows them for these publishers.
    EXPECT_EQ(PublisherId(L"CN=C357A519-CEE3-4675-9EF4-44DE1D99A5D6"), L"amge560j0aq9g");
    EXPECT_EQ(PublisherId(L"CN=2180B9A4-DDFD-4BFD-8D7E-EADC9C394EF5"), L"54ggd3ev8bvz6");
    EXPECT_EQ(PublisherId(L"CN=B408A06D-44F7-4860-A12E-644DD44FA743"), L"f08ys7xx9zb3y");

    TPackageIdentity identity{L"MyCompany.MyGreatApp", L"CN=B408A06D-44F7-4860-A12E-644DD44FA743", L"1.0.0.3",
                              L"x64", L""};
    EXPECT_EQ(PackageFamilyName(identity), L"MyCompany.MyGreatApp_f08ys7xx9zb3y");
    EXPECT_EQ(PackageFullName(identity), L"MyCompany.MyGreatApp_1.0.0.3_x64__f08ys7xx9zb3y");
    identity.Architecture = L"neutral";
    identity.ResourceId = L"split.scale-100";
    EXPECT_EQ(PackageFullName(identity),
              L"MyCompany.MyGreatApp_1.0.0.3_neutral_split.scale-100_f08ys7xx9zb3y");
}
