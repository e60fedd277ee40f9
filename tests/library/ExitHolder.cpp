// A front end that exits while it still holds the library's objects: it loads
// VelmoraHelper.dll, reads the inventory and the features until the program named on its
// command line is listed and its size is being measured, keeps the root, the
// collection and that product, and returns from main without releasing them.
// Exit code 0 once it held them; 2 when the program never showed up.
#include "tests/library/LibraryHarness.h"
#include "tests/library/ProgramLookup.h"

using namespace velmora;
using namespace velmora::testing;

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 1;
    // Never freed: a front end that exits without unloading the library.
    auto* library = new TLoadedLibrary;
    TComPtr<IVelmora> root = library->NewRoot();
    if (!root)
        return 1;
    TComPtr<IProductCollection> programs;
    root->GetPrograms(programs.put());
    TComPtr<IFeatures> features;
    root->GetFeatures(features.put());
    root->Refresh();
    TComPtr<IProduct> held;
    WaitUntil([&] {
        held = held ? held : FindProgram(*programs, argv[1]);
        return held && root->GetReadState() != TReadState::rsNonw;
    });
    // The feature read runs the servicing tool; under Wine a child whose
    // parent ends while it starts never ends, so the tool is let finish.
    WaitUntil([&] { return features->GetReadState() == TReadState::rsLoaded; });
    if (!held)
        return 2;
    // The references stay held: the process ends with them.
    root.Detach();
    programs.Detach();
    features.Detach();
    held.Detach();
    return 0;
}
