#include "inventory/ItemProgram.h"

namespace velmora {

namespace {

struct TProgramLists {
    TItemList<TItemProgram> Items;
    TItemRefList<TItemProgram> Unused{Items.Lock()};
    // Programs leave the rarely used list in their destructors: destroy them
    // while that list still exists.
    ~TProgramLists() { Items.Clear(); }
};

TProgramLists& Lists() {
    static TProgramLists lists;
    return lists;
}

} // namespace

TItemProgram::~TItemProgram() {
    UnusedItems().Remove(this);
}

TItemList<TItemProgram>& TItemProgram::Items() {
    return Lists().Items;
}

TItemRefList<TItemProgram>& TItemProgram::UnusedItems() {
    return Lists().Unused;
}

// A fresh cycle starts with empty lists, whatever a previous one left.
void TItemProgram::Init() {
    UnusedItems().Clear();
    Items().Clear();
}

// Destroys every program (each stops its action thread first).
void TItemProgram::Done() {
    UnusedItems().Clear();
    Items().Clear();
}

} // namespace velmora
