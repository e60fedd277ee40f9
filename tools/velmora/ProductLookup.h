#pragma once
// Reading the inventory and finding a product in it by name.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "tools/velmora/Arguments.h"

#include <string>
#include <vector>

namespace velmora::cli {

// Polls the read state until the inventory is read, with a status line of
// the programs read so far on a console; false (and a message) when that
// takes longer than the timeout.
bool WaitForInventory(IVelmora& root, unsigned timeoutSeconds);
TComPtr<IProductCollection> Collection(IVelmora& root, TListKind kind);
// The products of the collection whose display name is name (any letter
// case), in list order.
std::vector<TComPtr<IProduct>> FindProducts(IProductCollection& collection, const std::wstring& name);
// The products of that name among the programs, or else among the updates.
std::vector<TComPtr<IProduct>> FindProgramOrUpdate(IVelmora& root, const std::wstring& name);

} // namespace velmora::cli
