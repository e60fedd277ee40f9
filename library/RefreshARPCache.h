#pragma once
// One background pass over the shell's installed-applications enumerator,
// asking each application for its slow information, which makes Windows
// recompute and store its cached size, last-used date and use count.
#include "platform/Thread.h"

namespace velmora {

class TRefreshARPCache : public TThread {
public:
    TRefreshARPCache();
    ~TRefreshARPCache() override;

protected:
    void Execute() override;
};

} // namespace velmora
