#pragma once
// What the servicing doubles do, and how they tell it on their console as the
// servicing tools do: the tool's exit code is also the code of its "Error:"
// line, which is what the library reads.
#include <functional>
#include <string>

namespace velmora::doubles {

// Codes the doubles answer with.
constexpr int kBadArgument = 87;    // ERROR_INVALID_PARAMETER
constexpr int kOperationBusy = 183; // another servicing operation holds the machine

// Console text in the OEM code page, as from the real tools.
void Print(const std::wstring& text);
void PrintBanner();

// Works as the tools do: six progress steps 300 ms apart, with change made
// halfway. change answers 0, or the exit code of the error it reported,
// which ends the work.
int WorkWithProgress(const std::function<int()>& change);

// Prints "Error: <code>" (hexadecimal for HRESULT-style codes), a blank
// line and the message; returns the code as the exit code.
int ReportError(unsigned code, const std::wstring& message);

// The feature table of the running machine.
int GetFeatures();
// Switches the features an answer file selects; takes about 1.5 seconds
// and prints its progress. Changes nothing when a selection is unknown.
int ApplyAnswerFile(const std::wstring& path);

} // namespace velmora::doubles
