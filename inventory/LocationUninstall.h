#pragma once
// The common base of every inventory source. Locations are created by the
// location owner, one per registered class, and driven from the reading thread.
#include <string>

namespace velmora {

// What an item knows of the location that created it (never owned by the item).
class TTypeUninstallLocation {
public:
    virtual ~TTypeUninstallLocation() = default;
};

class TLocationUninstall : public TTypeUninstallLocation {
public:
    // Full re-read of this source's programs and updates, after IsChanged.
    virtual void Read() = 0;
    // First pass: this source's programs.
    virtual void ReadPrograms() {}
    // Completes this source's programs still waiting for slow information.
    virtual void ReadProgramsSlowInfo() {}
    virtual void ReadUpdates() {}
    // Non-blocking poll: true when the source changed since the last poll.
    // A source may re-arm its change notification here.
    virtual bool IsChanged() = 0;

    // The registered class name ("Detect changes in location ..." and the
    // update sweep's log line); set by the owner when it creates the location.
    const std::wstring& ClassName() const { return FClassName; }

    // Cancellation point of long reads: raises the silent abort when the
    // calling thread is a runtime thread asked to terminate.
    static void CheckTerminated();

private:
    friend class TLocationOwner;
    std::wstring FClassName;
};

} // namespace velmora
