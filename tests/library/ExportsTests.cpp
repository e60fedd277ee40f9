#include "tests/library/LibraryHarness.h"

#include <shlwapi.h>

using namespace velmora;
using namespace velmora::testing;
using namespace std::chrono_literals;

namespace {

class Exports : public ::testing::Test {
protected:
    TLoadedLibrary Library;
    void SetUp() override {
        ASSERT_NE(Library.Module(), nullptr) << "VelmoraHelper.dll not found beside the test";
    }
};

} // namespace

TEST_F(Exports, EveryRootSharesOneFeatureManagerAndOneInventory) {
    auto first = Library.NewRoot();
    auto second = Library.NewRoot();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());

    TComPtr<IFeatures> featuresA, featuresB;
    first->GetFeatures(featuresA.put());
    second->GetFeatures(featuresB.put());
    ASSERT_TRUE(featuresA);
    EXPECT_EQ(featuresA.get(), featuresB.get());

    first->Refresh();
    EXPECT_TRUE(WaitUntil([&] { return second->GetReadState() == TReadState::rsLoaded; }));

    first.reset();
    EXPECT_EQ(second->GetReadState(), TReadState::rsLoaded);
    TComPtr<IFeatures> again;
    second->GetFeatures(again.put());
    EXPECT_EQ(again.get(), featuresB.get());
    second->RefreshProgramList();
    EXPECT_TRUE(WaitUntil([&] { return second->GetReadState() == TReadState::rsLoading; }));
    second->Stop();
}

TEST_F(Exports, CanUnloadOnlyWhenNoInterfaceObjectLives) {
    ASSERT_EQ(Library.CanUnloadNow(), S_OK);
    auto root = Library.NewRoot();
    EXPECT_EQ(Library.CanUnloadNow(), S_FALSE);

    TComPtr<IProductCollection> programs;
    root->GetPrograms(programs.put());
    ASSERT_TRUE(programs);
    TComPtr<IFeatures> features;
    root->GetFeatures(features.put());
    root.reset();
    EXPECT_EQ(Library.CanUnloadNow(), S_FALSE) << "a collection still lives";
    programs.reset();
    EXPECT_EQ(Library.CanUnloadNow(), S_FALSE) << "the feature manager is still referenced";
    features.reset();
    EXPECT_EQ(Library.CanUnloadNow(), S_OK);
}

TEST_F(Exports, OtherInterfaceIdsFailWithANullObject) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_TRUE(FAILED(Library.GetInstance(__uuidof(IProduct), &object)));
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(1);
    EXPECT_TRUE(FAILED(Library.GetInstance(IID_IUnknown, &object)));
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Library.GetInstance(__uuidof(IVelmora), nullptr), E_POINTER);
    EXPECT_EQ(Library.CanUnloadNow(), S_OK);
}

TEST_F(Exports, RootAnswersItsOwnInterfacesOnly) {
    auto root = Library.NewRoot();
    TComPtr<IUnknown> unknown;
    EXPECT_EQ(root->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.put())), S_OK);
    TComPtr<IProduct> product;
    EXPECT_EQ(root->QueryInterface(__uuidof(IProduct), reinterpret_cast<void**>(product.put())),
              E_NOINTERFACE);
    EXPECT_FALSE(product);
}

TEST_F(Exports, VersionComesFromTheVersionResource) {
    auto getVersion = Library.Export<HRESULT(WINAPI*)(DLLVERSIONINFO2*)>("DllGetVersion");
    DLLVERSIONINFO2 info{};
    info.info1.cbSize = sizeof info;
    ASSERT_EQ(getVersion(&info), S_OK);
    EXPECT_EQ(info.info1.dwMajorVersion, 5u);
    EXPECT_EQ(info.info1.dwMinorVersion, 0u);
    EXPECT_EQ(info.ullVersion, MAKEDLLVERULL(5, 0, 0, 0));

    DLLVERSIONINFO small{};
    small.cbSize = sizeof small;
    ASSERT_EQ(getVersion(reinterpret_cast<DLLVERSIONINFO2*>(&small)), S_OK);
    EXPECT_EQ(small.dwMajorVersion, 5u);

    DLLVERSIONINFO wrong{};
    wrong.cbSize = 3;
    EXPECT_EQ(getVersion(reinterpret_cast<DLLVERSIONINFO2*>(&wrong)), E_INVALIDARG);
    EXPECT_EQ(getVersion(nullptr), E_POINTER);
}

TEST_F(Exports, ReadStatesOfAFullReadAndAProgramListRead) {
    auto root = Library.NewRoot();
    EXPECT_EQ(root->GetReadState(), TReadState::rsNonw) << "nothing is read before Refresh";
    root->Refresh();
    EXPECT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));

    root->RefreshProgramList();
    EXPECT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoading; }));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(root->GetReadState(), TReadState::rsLoading) << "a program-list read never reaches rsLoaded";

    root->Refresh();
    EXPECT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
    root->Stop();
    EXPECT_EQ(root->GetReadState(), TReadState::rsLoaded) << "Stop keeps the last state";
}

TEST_F(Exports, CallbacksAndNotificationHandlerAreStoredAndHandedBack) {
    struct TErrors : TInterfacedObject<IErrorCallback> {
        void STDMETHODCALLTYPE ShowError(LPCWSTR) override {}
    };
    auto root = Library.NewRoot();
    auto callback = MakeCom<TErrors, IErrorCallback>();
    root->SetErrorCallback(callback.get());
    TComPtr<IErrorCallback> back;
    root->GetErrorCallback(back.put());
    EXPECT_EQ(back.get(), callback.get());
    root->SetErrorCallback(nullptr);
    root->GetErrorCallback(back.put());
    EXPECT_FALSE(back);

    TNotifyHandler handler{reinterpret_cast<void*>(0x1234), reinterpret_cast<void*>(0x5678)}, out{};
    root->SetOnNotify(handler);
    root->GetOnNotify(&out);
    EXPECT_EQ(out.Code, handler.Code);
    EXPECT_EQ(out.Data, handler.Data);

    root.reset();
    auto fresh = Library.NewRoot();
    fresh->GetOnNotify(&out);
    EXPECT_EQ(out.Code, nullptr) << "a new cycle starts with fresh state";
}

TEST_F(Exports, CollectionsAnswerTheirMasksAndNothingOutsideTheirRange) {
    auto root = Library.NewRoot();
    TComPtr<IProductCollection> programs, updates, unused;
    root->GetPrograms(programs.put());
    root->GetUpdates(updates.put());
    root->GetUnusedPrograms(unused.put());
    ASSERT_TRUE(programs && updates && unused);
    EXPECT_EQ(programs->GetInfoMask(), 0x3DFFFF);
    EXPECT_EQ(unused->GetInfoMask(), 0x3DFFFF);
    EXPECT_EQ(updates->GetInfoMask(), 0x1C07FFF);
    ASSERT_NE(programs->GetSmallImages(), nullptr);
    EXPECT_EQ(unused->GetSmallImages(), programs->GetSmallImages()) << "one program icon list";
    int cx = 0, cy = 0;
    ImageList_GetIconSize(programs->GetSmallImages(), &cx, &cy);
    EXPECT_EQ(cx, 16);
    ImageList_GetIconSize(programs->GetLargeImages(), &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(ImageList_GetImageCount(programs->GetLargeImages()), 4)
        << "ratings and the default program icon";
    for (IProductCollection* collection : {programs.get(), updates.get(), unused.get()}) {
        collection->Lock();
        int32_t count = collection->GetCount();
        IProduct* product = reinterpret_cast<IProduct*>(1);
        collection->GetItem(-1, &product);
        EXPECT_EQ(product, nullptr);
        product = reinterpret_cast<IProduct*>(1);
        collection->GetItem(count, &product);
        EXPECT_EQ(product, nullptr);
        collection->Unlock();
    }
}
