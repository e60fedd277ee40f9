// Fuzz target of command-line splitting: the program of an uninstall or
// modify command, and icon references "file,index". Which candidate files
// exist is decided by a hash of their name, so that every branch of the
// existing-file probing is reached.
#include "fuzz/FuzzInput.h"
#include "platform/PathText.h"
#include "platform/Text.h"

#include <functional>

using namespace velmora;
using velmora::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const unsigned existing = data[0];
    const std::wstring command = fuzz::Text(data + 1, size - 1);

    auto exists = [existing](const std::wstring& path) {
        return (std::hash<std::wstring>{}(path)&7) < (existing & 7);
    };
    const std::wstring program = PathRemoveArgs(command, exists);
    // The program is taken from the command; only a probed ".exe" is added.
    Check(program.size() <= command.size() + 4);
    Check(ContainsText(command, program) ||
          (EndsWithText(program, L".exe") && ContainsText(command, program.substr(0, program.size() - 4))));
    Check(program.empty() || (program.front() != L' ' && program.back() != L' '));
    Check(PathRemoveArgs(command, nullptr).find_first_of(L" \t") == std::wstring::npos ||
          (!command.empty() && Trim(command).front() == L'"'));

    const TIconLocation icon = SplitIconLocation(command);
    Check(icon.FileName.size() <= command.size());
    Check(ExtractIconFileName(command) == icon.FileName && ExtractIconIndex(command) == icon.Index);
    return 0;
}
