#include "tools/velmora/TerminalCallbacks.h"

#include "platform/Format.h"
#include "tools/velmora/Console.h"

#include <optional>

namespace velmora::cli {

bool TTerminalQuestions::AskYesNo(LPCWSTR Text, LPCWSTR Caption) {
    std::lock_guard lock(FLock);
    WriteErr(Format(L"\n[%s]\n%s (y/n) ", Caption ? Caption : L"", Text ? Text : L""));
    for (;;) {
        std::optional<std::wstring> line = ReadLine();
        if (!line) {
            WriteErr(L"n (no more input)\n");
            return false;
        }
        if (std::optional<bool> yes = YesOrNo(*line))
            return *yes;
        WriteErr(L"Answer y or n: ");
    }
}

void TTerminalErrors::ShowError(LPCWSTR Text) {
    WriteErr(Format(L"The command reported an error:\n%s\n", Text ? Text : L""));
    FReported = true;
}

TTerminalCallbacks::TTerminalCallbacks(IVelmora& root)
    : FRoot(root), FQuestions(MakeCom<TTerminalQuestions, IQuestionCallback>()),
      FErrorsObject(new TTerminalErrors), FErrors(static_cast<IErrorCallback*>(FErrorsObject)) {
    FRoot.SetQuestionCallback(FQuestions.get());
    FRoot.SetErrorCallback(FErrors.get());
}

TTerminalCallbacks::~TTerminalCallbacks() {
    FRoot.SetQuestionCallback(nullptr);
    FRoot.SetErrorCallback(nullptr);
}

} // namespace velmora::cli
