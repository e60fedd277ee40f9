#pragma once
// The library's callbacks answered on the terminal: a console tool's yes/no
// questions and its error reports, both on standard error so that standard
// output stays the command's result.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"

#include <atomic>
#include <mutex>

namespace velmora::cli {

class TTerminalQuestions : public TInterfacedObject<IQuestionCallback> {
public:
    bool STDMETHODCALLTYPE AskYesNo(LPCWSTR Text, LPCWSTR Caption) override;

private:
    std::mutex FLock;
};

class TTerminalErrors : public TInterfacedObject<IErrorCallback> {
public:
    void STDMETHODCALLTYPE ShowError(LPCWSTR Text) override;
    bool Reported() const { return FReported.load(); }

private:
    std::atomic<bool> FReported{false};
};

// Both set on a root for this object's lifetime; the root lets go of them
// when it goes.
class TTerminalCallbacks {
public:
    explicit TTerminalCallbacks(IVelmora& root);
    ~TTerminalCallbacks();
    TTerminalCallbacks(const TTerminalCallbacks&) = delete;
    TTerminalCallbacks& operator=(const TTerminalCallbacks&) = delete;
    // The library reported an error since.
    bool ErrorReported() const { return FErrorsObject->Reported(); }

private:
    IVelmora& FRoot;
    TComPtr<IQuestionCallback> FQuestions;
    TTerminalErrors* FErrorsObject;
    TComPtr<IErrorCallback> FErrors;
};

} // namespace velmora::cli
