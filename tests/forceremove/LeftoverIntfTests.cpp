#include "forceremove/Leftovers.h"

#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/Handles.h"
#include "platform/LiveObjects.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

// The text an interface's getter hands out.
template <class I, class Getter> std::wstring TextOf(I* itf, Getter getter) {
    unique_bstr text;
    (itf->*getter)(text.put());
    return BstrText(text.get());
}

} // namespace

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

// What the interfaces translate; the paths, shortcut files and targets are
// read end to end.
TEST(LeftoverIntf, InterfacesTranslateOutcomesViewsRootsAndTheEntriesParts) {
    TFRFile file(L"C:\\App\\app.exe", false, 42);
    file.SetCanRemove(true);
    file.Outcome().SetFailed(L"in use");
    IFRFile* fileItf = file.Intf();
    EXPECT_TRUE(fileItf->GetCanRemove());
    EXPECT_EQ(TextOf(fileItf, &IFRFile::GetErrorMessage), L"in use");
    file.Outcome().SetRemoved(); // a later attempt that succeeds clears the error
    EXPECT_TRUE(fileItf->GetRemoved());
    EXPECT_EQ(TextOf(fileItf, &IFRFile::GetErrorMessage), L"");

    TFRRegEntry entry({TRegView::x32, TRegRoot::LocalMachine, L"Software\\App"}, L"Path");
    IFRRegEntry* entryItf = entry.Intf();
    EXPECT_EQ(TextOf(entryItf, &IFRRegEntry::FullPath), L"(x32)HKEY_LOCAL_MACHINE\\Software\\App\\Path");
    EXPECT_EQ(entryItf->GetRoot(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(TextOf(entryItf, &IFRRegEntry::GetKey), L"Software\\App");
    EXPECT_EQ(TextOf(entryItf, &IFRRegEntry::GetValueName), L"Path");
    EXPECT_EQ(entryItf->GetFlag(), static_cast<uint32_t>(KEY_WOW64_32KEY));
    entry.SetRemoved(true);
    EXPECT_TRUE(entryItf->GetRemoved());

    TFRService service(L"AppSvc", L"\"C:\\App\\svc.exe\" -service", L"App Service");
    EXPECT_EQ(TextOf(service.Intf(), &IFRService::GetPath), L"\"C:\\App\\svc.exe\" -service");
    EXPECT_EQ(TextOf(service.Intf(), &IFRService::GetDisplayName), L"App Service");
}
