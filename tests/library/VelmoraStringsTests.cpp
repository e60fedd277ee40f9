#include "frame/VelmoraStrings.h"
#include "platform/ComText.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(VelmoraStrings, LinesInOrderAndValuesOfTheFirstMatchingName) {
    auto list = MakeCom<TVelmoraStrings, IVelmoraStrings>();
    for (const wchar_t* line : {L"S_UPDATE=Update %s", L"plain line", L"s_update=second"})
        list->Add(line);
    ASSERT_EQ(list->GetCount(), 3);
    auto take = [](BSTR text) {
        std::wstring value = BstrText(text);
        SysFreeString(text);
        return value;
    };
    BSTR text = nullptr;
    EXPECT_EQ((list->Get(1, &text), take(text)), L"plain line");
    EXPECT_EQ((list->Get(3, &text), take(text)), L"") << "an index outside the list gives empty text";
    EXPECT_EQ((list->GetValue(L"s_UPDATE", &text), take(text)), L"Update %s");
    EXPECT_EQ((list->GetValue(L"plain line", &text), take(text)), L"") << "a line without '=' has no value";
}
