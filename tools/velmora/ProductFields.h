#pragma once
// The information indices of a product as named fields.
#include "api/Interfaces.Velmora.h"
#include "tools/velmora/ConsoleOutput.h"

#include <span>

namespace velmora::cli {

struct TFieldInfo {
    int32_t Index;
    const wchar_t* Name;
    const wchar_t* Title;
    // The names of an enumeration's values by ordinal; empty for other fields.
    std::span<const wchar_t* const> ValueNames = {};
};

// Every index of the product information table, in index order.
const std::vector<TFieldInfo>& AllFields();
// The value at an index; an enumeration's number comes with its name.
TValue ReadValue(IProduct& product, int32_t index);
// The fields of the collection's mask, in index order.
TRecord ReadRecord(IProduct& product, int32_t infoMask);

} // namespace velmora::cli
