#include "platform/PackageIdentity.h"
#include "tests/TestBase.h"

using namespace velmora;

TEST(PackageIdentity, PublisherIdAndNamesFollowWindowsRule) {
    // Publisher ids as Windows shows them for these publishers (the SHA-256
    // of 78 bytes of UTF-16, two blocks).
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
