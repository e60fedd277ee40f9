// Fuzz target of velmora.exe's command line: one argument per input line.
// Every command line is either taken or refused with a sentence for the user.
#include "fuzz/FuzzInput.h"
#include "tools/velmora/Arguments.h"

using namespace velmora;
using namespace velmora::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> args = fuzz::Lines(data, size);
    std::wstring error;
    const auto parsed = ParseArguments(args, error);
    if (!parsed) {
        Check(!error.empty());
        return 0;
    }
    Check(error.empty());
    Check(parsed->TimeoutSeconds >= 1);
    // A product command always names its product.
    const bool forced = parsed->Command == TCommand::Leftovers || parsed->Command == TCommand::ForceRemove;
    if (parsed->Command == TCommand::Show || IsActionCommand(parsed->Command) || forced)
        Check(!parsed->Name.empty() && parsed->Name == args[1]);
    else
        Check(parsed->Name.empty());
    // Only a forced removal answers its own questions, and JSON never asks.
    Check(!parsed->Yes || parsed->Command == TCommand::ForceRemove);
    Check(!(parsed->Command == TCommand::ForceRemove && parsed->Json) || parsed->Yes);
    return 0;
}
