// Fuzz target of the console output rules: output arriving in arbitrary
// pieces, prompt search over the growing lines and the result rules.
// The first input byte picks piece lengths; the rest is UTF-16 text.
#include "console/ProcessOutput.h"
#include "fuzz/FuzzInput.h"
#include "platform/Text.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const unsigned seed = data[0];
    std::wstring text;
    for (size_t i = 1; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

    TProcessOutput output;
    size_t lineIndex = 0;
    size_t questions = 0;
    for (size_t pos = 0, step = 0; pos < text.size(); ++step) {
        size_t length = 1 + ((seed >> (step % 8)) ^ step) % 7;
        output.Append(std::wstring_view(text).substr(pos, length));
        pos += length;
        const auto& lines = output.Lines();
        size_t before = lineIndex;
        size_t scanned = 0;
        auto question = FindPrompt(lines, lineIndex, [&](const std::wstring&) { ++scanned; });
        Check(lineIndex >= before && lineIndex <= lines.size());
        if (question) {
            ++questions;
            Check(!question->empty() && question->back() == L'?');
            Check(lineIndex >= 1 && IsPromptLine(lines[lineIndex - 1]));
            Check(scanned == lineIndex - before);
        } else if (!lines.empty() && before < lines.size()) {
            Check(lineIndex == lines.size() - 1);
        }
    }

    // However the text was cut, the lines are those of the whole text.
    Check(output.Lines() == SplitLines(text));
    Check(questions <= output.Lines().size());

    auto result = ResultFromOutput(output.Lines());
    // An error text exists exactly when an error line was found; it is the
    // tail of the output.
    if (result.Errors.empty())
        Check(result.Result == 0);
    else
        Check(output.Text().find(result.Errors) != std::wstring::npos);
    return 0;
}
