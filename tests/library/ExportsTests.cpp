#include "tests/library/LibraryHarness.h"

#include <shlwapi.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

class Exports : public ::testing::Test {
protected:
    TLoadedLibrary Library;
    void SetUp() override {
        ASSERT_NE(Library.Module(), nullptr) << "VelmoraHelper.dll not found beside the test";
    }
    HRESULT CanUnloadNow() const { return Library.Export<TDllCanUnloadNow>("DllCanUnloadNow")(); }
};

} // namespace

TEST_F(Exports, RootsShareOneInventoryAndFeatureManagerThroughBothReadKinds) {
    auto first = Library.NewRoot();
    auto second = Library.NewRoot();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetReadState(), TReadState::rsNonw) << "nothing is read before Refresh";
    TComPtr<IFeatures> featuresA, featuresB;
    first->GetFeatures(featuresA.put());
    second->GetFeatures(featuresB.put());
    ASSERT_TRUE(featuresA);
    EXPECT_EQ(featuresA.get(), featuresB.get());

    first->Refresh();
    EXPECT_TRUE(WaitUntil([&] { return second->GetReadState() == TReadState::rsLoaded; }));
    first.reset();
    second->RefreshProgramList();
    EXPECT_TRUE(WaitUntil([&] { return second->GetReadState() == TReadState::rsLoading; }));
    second->Stop();
    EXPECT_EQ(second->GetReadState(), TReadState::rsLoading) << "Stop keeps the last state";
}

TEST_F(Exports, CanUnloadOnlyWhenNoInterfaceObjectLives) {
    ASSERT_EQ(CanUnloadNow(), S_OK);
    auto root = Library.NewRoot();
    TComPtr<IProductCollection> programs;
    root->GetPrograms(programs.put());
    ASSERT_TRUE(programs);
    TComPtr<IFeatures> features;
    root->GetFeatures(features.put());
    root.reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "a collection still lives";
    programs.reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the feature manager is still referenced";
    features.reset();
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(Exports, OtherInterfaceIdsAndBadArgumentsFail) {
    for (REFIID iid : {__uuidof(IProduct), IID_IUnknown}) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_TRUE(FAILED(Library.GetInstance(iid, &object)));
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(Library.GetInstance(__uuidof(IVelmora), nullptr), E_POINTER);

    auto getVersion = Library.Export<HRESULT(WINAPI*)(DLLVERSIONINFO2*)>("DllGetVersion");
    DLLVERSIONINFO2 info{};
    info.info1.cbSize = sizeof info;
    ASSERT_EQ(getVersion(&info), S_OK);
    EXPECT_EQ(info.ullVersion, MAKEDLLVERULL(5, 0, 0, 0)) << "from the version resource";
}
