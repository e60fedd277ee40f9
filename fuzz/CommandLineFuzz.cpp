// Fuzz target of command-line splitting: the program of an uninstall or
// modify command, and icon references "file,index". Which candidate files
// exist, and which names the search path finds, is decided by a hash of the
// name, so that every branch of the existing-file probing is reached.
#include "fuzz/FuzzInput.h"
#include "platform/PathText.h"
#include "platform/Text.h"

#include <functional>

using namespace velmora;

static std::optional<std::wstring> Variable(const std::wstring& name) {
    if (name == L"P")
        return L"C:\\Program Files";
    if (name == L"Q")
        return L"\"C:\\Program Files\\Q q\\q.exe\"";
    return std::nullopt;
}

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

    // The arguments are what follows the program in the command.
    const TCommandParts parts = SplitCommandLine(command, exists);
    Check(parts.Program == program);
    Check(Trim(command).ends_with(parts.Arguments));
    Check(Trim(parts.Arguments).size() == parts.Arguments.size());

    TCommandProbe probe;
    probe.FileExists = exists;
    probe.Expand = [](std::wstring_view text) { return ExpandVariables(text, Variable); };
    probe.Search = [existing](const std::wstring& name) {
        return (std::hash<std::wstring>{}(name)&3) < (existing >> 6) ? L"C:\\Windows\\System32\\" + name
                                                                     : std::wstring();
    };
    const std::wstring found = ProgramOfCommand(command, probe);
    Check(Trim(found).size() == found.size());
    // A program found with a folder is found again when the command names it quoted.
    if (!ExtractFilePath(found).empty() && found.find_first_of(L"\"%") == std::wstring::npos)
        Check(ProgramOfCommand(L"\"" + found + L"\" /S", probe) == found);

    const TIconLocation icon = SplitIconLocation(command);
    Check(icon.FileName.size() <= command.size());
    Check(ExtractIconFileName(command) == icon.FileName && ExtractIconIndex(command) == icon.Index);
    return 0;
}
