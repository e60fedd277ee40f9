// Fuzz target of registry key texts: any text parses or is refused, and a
// key written as text parses back to itself. The first input byte picks the
// view and root of the written key.
#include "fuzz/FuzzInput.h"
#include "platform/RegistryKeyText.h"
#include "platform/Text.h"

using namespace velmora;

static std::wstring WithoutOuterBackslashes(std::wstring path) {
    path.erase(0, path.find_first_not_of(L'\\'));
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::wstring text = fuzz::Text(data + 1, size - 1);

    TRegView view{};
    TRegRoot root{};
    std::wstring path;
    if (ExtractKeyParams(text, view, root, path)) {
        Check(path == WithoutOuterBackslashes(path));
        Check(SameRegistryKey(text, RegistryKeyToStr(view, root, path)));
    }

    const auto writtenView = static_cast<TRegView>(data[0] % 3);
    const auto writtenRoot = static_cast<TRegRoot>(data[0] / 3 % 5);
    Check(ExtractKeyParams(RegistryKeyToStr(writtenView, writtenRoot, text), view, root, path));
    Check(view == writtenView && root == writtenRoot && path == WithoutOuterBackslashes(text));
    return 0;
}
