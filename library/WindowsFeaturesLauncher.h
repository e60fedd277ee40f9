#pragma once

namespace velmora {

// Opens Windows' own optional-features tool as the non-elevated user, or
// brings the component tool to the front when it is already running.
// Reports nothing: a tool that cannot be started is simply not started.
void LaunchWindowsFeatures();

} // namespace velmora
