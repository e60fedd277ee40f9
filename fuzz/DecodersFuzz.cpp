// Fuzz target of the decoders of uninstall data: product codes in their
// forms, registry dates and release types.
#include "frame/Decoders.h"
#include "fuzz/FuzzInput.h"
#include "platform/Text.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = fuzz::Text(data, size);

    std::wstring guid;
    if (TryDecodeGUIDFromStr(text, guid)) {
        // A decoded product code is the braced form, which decodes to itself,
        // or a key name "{guid}_suffix" taken whole.
        std::wstring again;
        Check(TryDecodeGUIDFromStr(guid, again) && again == guid);
        if (guid.size() != 38 || !IsValidGUIDText(guid))
            Check(guid == text && IsValidGUIDText(text.substr(0, text.find(L'_'))));
    } else {
        Check(guid.empty());
    }

    const double date = DecodeDateTimeRegistry(text);
    if (date != 0) {
        Check(text.size() == 8);
        int digits[8];
        for (size_t i = 0; i < 8; ++i) {
            Check(text[i] >= L'0' && text[i] <= L'9');
            digits[i] = text[i] - L'0';
        }
        int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
        Check(date == EncodeOleDate(year, digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]));
    }

    const TReleaseType type = DecodeReleaseType(text);
    Check(type == TReleaseType::rtNone || SameText(ReleaseTypeText(type), text));
    return 0;
}
