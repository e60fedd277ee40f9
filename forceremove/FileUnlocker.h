#pragma once
// Ends the running processes of the program being removed, so that its files
// can be deleted, through the suite's process component (Windows).
struct IPYProcess;

namespace velmora {

class TAppFolders;
class TDebugLog;

class TFileUnlocker {
public:
    // The folders are not owned.
    explicit TFileUnlocker(const TAppFolders& folders);

    // Ends every process whose executable lies in a program folder, with the
    // component's agent registered for that time only (unless it was
    // registered before). A missing component or process list raises.
    void Execute();

private:
    void EndIfInProgramFolder(IPYProcess& process, TDebugLog& log) const;

    const TAppFolders& FFolders;
};

} // namespace velmora
