#include "frame/VelmoraStrings.h"
#include "platform/ComText.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {
std::wstring Take(BSTR text) {
    std::wstring value = BstrText(text);
    SysFreeString(text);
    return value;
}
} // namespace

TEST(VelmoraStrings, LinesInOrderAndValuesOfTheFirstMatchingName) {
    auto list = MakeCom<TVelmoraStrings, IVelmoraStrings>();
    list->Add(L"S_UPDATE=Update %s");
    list->Add(L"plain line");
    list->Add(L"s_update=second");
    ASSERT_EQ(list->GetCount(), 3);
    BSTR text = nullptr;
    list->Get(1, &text);
    EXPECT_EQ(Take(text), L"plain line");
    list->Get(3, &text);
    EXPECT_EQ(Take(text), L"") << "an index outside the list gives empty text";
    list->GetValue(L"s_UPDATE", &text);
    EXPECT_EQ(Take(text), L"Update %s");
    list->GetValue(L"plain line", &text);
    EXPECT_EQ(Take(text), L"") << "a line without '=' has no value";
}
