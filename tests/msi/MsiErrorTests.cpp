#include "msi/MsiError.h"
#include "tests/TestBase.h"

using namespace velmora;

// Only success and the end of the items pass; the message names the step, then the description and number.
TEST(MsiError, FailuresOnlyThrowAndTheirMessageNamesTheStepThenDescriptionAndNumber) {
    EXPECT_NO_THROW(CheckMsi(0, SMsiOpenDatabase));
    EXPECT_NO_THROW(CheckMsi(259, SMsiFetch));
    EXPECT_FALSE(IsMsiSuccess(234)); // more data: a too small buffer is a failure
    EXPECT_THROW(CheckMsi(110, SMsiOpenDatabase), EMsiError);
    EMsiError badQuery(SMsiOpenView, 1615);
    EXPECT_EQ(badQuery.Message(), L"Unable to open view\r\nSQL query syntax invalid or unsupported: 1615");
    EXPECT_STREQ(badQuery.what(), "Unable to open view\r\nSQL query syntax invalid or unsupported: 1615");
    // An error without a description keeps only its number.
    EXPECT_EQ(MsiErrorText(SMsiGetTargetPath, 4294967295u), L"Unable to get target path\r\n: 4294967295");
}
