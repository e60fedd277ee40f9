// Fuzz target of the UTF-8 conversion that every text from outside (pipes,
// files, arguments) passes: valid UTF-8 converts both ways unchanged, and
// anything else converts to text whose UTF-8 form is valid.
#include "fuzz/FuzzInput.h"
#include "platform/Format.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring wide = Widen(bytes);
    const std::string back = Narrow(wide);
    // Without a replacement character the input was valid UTF-8.
    if (wide.find(wchar_t(0xFFFD)) == std::wstring::npos)
        Check(back == bytes);
    // Whatever came in, what goes out is valid UTF-8 of the same text.
    Check(Widen(back) == wide);
    return 0;
}
