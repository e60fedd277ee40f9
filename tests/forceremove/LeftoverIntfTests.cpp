#include "forceremove/Leftovers.h"

#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/LiveObjects.h"
#include "tests/TestBase.h"

using namespace velmora;

TEST(LeftoverIntf, TheFrontEndsReferencesNeitherFreeNorOutliveTheLeftoverItsListOwns) {
    const int before = LiveObjectTotal();
    auto file = std::make_unique<TFRFile>(L"C:\\App\\app.exe", false, 42);
    IFRFile* itf = file->Intf();
    EXPECT_EQ(file->Intf(), itf);
    EXPECT_EQ(LiveObjectTotal(), before + 1);

    TComPtr<IUnknown> unknown;
    ASSERT_EQ(itf->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(unknown.put())), S_OK);
    TComPtr<IFRFile> again;
    ASSERT_EQ(unknown->QueryInterface(__uuidof(IFRFile), reinterpret_cast<void**>(again.put())), S_OK);
    EXPECT_EQ(again.get(), itf);
    unknown.reset();
    again.reset();
    for (int i = 0; i < 5; ++i)
        itf->Release();
    EXPECT_EQ(itf->GetSize(), 42);

    file.reset();
    EXPECT_EQ(LiveObjectTotal(), before);
}
