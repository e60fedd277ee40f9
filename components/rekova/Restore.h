#pragma once
// Giving back what a backup set recorded, the last record first.
#include "components/rekova/Manifest.h"

#include <string>
#include <vector>

namespace velmora::rekova {

struct TRestoreOutcome {
    std::vector<std::wstring> Restored; // one line per record given back
    std::vector<std::wstring> Failed;   // one line per record that could not be, with the reason
};

// Goes on past a record it cannot give back. Folders get their attributes
// and times at the end, once the files in them are back.
TRestoreOutcome RestoreRecords(const TManifest& manifest);

} // namespace velmora::rekova
