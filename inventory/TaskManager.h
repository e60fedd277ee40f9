#pragma once
// The background job queue (folder-size jobs). Only the part the location
// owner drives exists so far: there is no queue yet, so nothing to stop.
namespace velmora {

class TTaskManager {
public:
    // Empties the queue and ends its workers.
    static void Stop();
};

} // namespace velmora
