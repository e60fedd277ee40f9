#pragma once
// A change watch over a registry key and everything below it. A key that does
// not exist yet is watched through its nearest existing parent, so its
// creation is seen too; each Arm opens the key afresh and so moves to the key
// itself once it exists.
#include "platform/Handles.h"
#include "platform/Registry.h"

#include <windows.h>

#include <string>

namespace velmora::launchet {

class TKeyWatch {
public:
    TKeyWatch(HKEY root, std::wstring path);
    // Signalled on a change after Arm.
    HANDLE Event() const { return FEvent.get(); }
    // Resets the event and watches again (from the calling thread, which must
    // outlive the wait); false when no key could be watched.
    bool Arm();

private:
    HKEY FRoot;
    std::wstring FPath;
    TRegKey FKey;
    unique_event FEvent;
};

} // namespace velmora::launchet
