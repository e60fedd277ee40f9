// Each component through its exports: it hands out only its root object, and
// answers that it can be unloaded once no object of it is alive.
#include "api/Interfaces.Procyra.h"
#include "api/Interfaces.Rekova.h"
#include "api/Interfaces.Trustika.h"
#include "api/Interfaces.Velmora.h"
#include "tests/components/LoadedComponent.h"

namespace velmora {
namespace {

TEST(ComponentExports, HandOutOnlyTheirRootAndCountItsObjects) {
    const struct {
        const wchar_t* File;
        IID Root, Foreign;
        bool ViaUnknown; // the root also as IUnknown
    } components[] = {
        {L"TrustikaHelper.dll", __uuidof(ITrustika), __uuidof(IVelmora), true},
        {L"ProcyraHelper.dll", __uuidof(IPYManager), __uuidof(ITrustika), false},
        {L"RekovaHelper.dll", __uuidof(IRekova), __uuidof(IRekovaSet), false},
    };
    for (const auto& c : components) {
        SCOPED_TRACE(Narrow(c.File));
        TLoadedComponent component{c.File};
        ASSERT_TRUE(component.Module);
        EXPECT_EQ(component.CanUnloadNow(), S_OK);
        void* other = reinterpret_cast<void*>(1);
        EXPECT_EQ(component.GetInstance(c.Foreign, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);

        TComPtr<IUnknown> root;
        ASSERT_EQ(component.GetInstance(c.ViaUnknown ? __uuidof(IUnknown) : c.Root,
                                        reinterpret_cast<void**>(root.put())),
                  S_OK);
        TComPtr<IUnknown> asRoot;
        EXPECT_EQ(root->QueryInterface(c.Root, reinterpret_cast<void**>(asRoot.put())), S_OK);
        root.reset();
        EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
        asRoot.reset();
        EXPECT_EQ(component.CanUnloadNow(), S_OK);
    }
}

} // namespace
} // namespace velmora
