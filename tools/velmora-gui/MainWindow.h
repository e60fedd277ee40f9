#pragma once
// The main window: the program views as report lists with the library's
// icons, the Windows features as a tree with check boxes, the selected
// program's details and its actions.
#include "tools/velmora-gui/Watcher.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::gui {

// What the window does on its own once the read is complete; empty for a
// window a person uses.
struct TAutomation {
    // Writes the window as a PNG there, then closes it.
    std::wstring ScreenshotFile;
    // Writes what the list and the tree hold there; with ExpectName, waits
    // until a program of that name is listed too, then closes the window.
    std::wstring ReportFile;
    std::wstring ExpectName;
    // With ReportFile: turns these features' boxes over and applies the
    // change, then turns them back and applies again, reporting the tree and
    // the results after each.
    std::vector<std::wstring> SwitchTitles;
    // With ReportFile: removes the program of that name through the
    // forced-removal window, answering every question yes, then restores the
    // newest backup set through the backup sets window; reports both.
    std::wstring ForceRemoveName;
    // With ReportFile: each program selected in turn and uninstalled, or
    // removed from the list ("uninstall" or "forget", then the program's
    // name), as from the Program menu; the list reported once it has gone.
    std::vector<std::pair<std::wstring, std::wstring>> Actions;
};

// Runs the window until it is closed; the exit code of the program.
int RunMainWindow(IVelmora& root, TView view, const TAutomation& automation);

} // namespace velmora::gui
