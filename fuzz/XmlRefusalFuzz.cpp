// Fuzz target of the check that XML bytes pass before they are parsed: any
// bytes are checked, and as the check reads from the start, what is refused
// stays refused whatever follows.
#include "fuzz/FuzzInput.h"
#include "platform/XmlDocument.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (XmlRefusal(bytes))
        Check(XmlRefusal(bytes + std::string(bytes.size() % 2, ' ') + "<a><b/></a>").has_value());
    return 0;
}
