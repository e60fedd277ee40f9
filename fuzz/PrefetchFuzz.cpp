// Fuzz target of the prefetch file reader and of the translation of the
// device paths it yields.
#include "fuzz/FuzzInput.h"
#include "platform/Text.h"
#include "usage/PrefetchFile.h"

#include <algorithm>

using namespace velmora;

static const std::map<std::wstring, std::wstring> Volumes = {{L"HARDDISKVOLUME2", L"C:"},
                                                             {L"01d2c3b4a5968778-5a3c10f2", L"D:\\Mounted"}};

// A path keeps its form unless a mapped volume starts it; then the drive
// path replaces exactly that volume's part: "\DEVICE\<device>" up to the
// next delimiter, or "\VOLUME{<id>}".
static void CheckTranslation(const std::wstring& path) {
    const std::wstring result = TranslateDevicePath(path, Volumes);
    if (result == path)
        return;
    bool mapped = false;
    for (const auto& [key, drive] : Volumes) {
        if (!result.starts_with(drive))
            continue;
        const std::wstring rest = result.substr(drive.size());
        if (!path.ends_with(rest))
            continue;
        const std::wstring prefix = path.substr(0, path.size() - rest.size());
        if (StartsWithText(prefix, L"\\DEVICE\\"))
            mapped = mapped || (SameText(prefix.substr(8), key) && (rest.empty() || rest.front() == L'\\'));
        else if (StartsWithText(prefix, L"\\VOLUME{"))
            mapped = mapped || prefix.substr(8) == key + L"}";
    }
    Check(mapped);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckTranslation(fuzz::Text(data, size));
    if (IsCompressedPrefetch(data, size) && size >= CompressedPrefetchHeaderSize)
        CompressedPrefetchSize(data, size);
    try {
        const TPrefetchRecord record = ParsePrefetch(data, size);
        Check(IsPrefetchImage(data, size));
        Check(record.ExecutableName.size() <= 30 && record.ExecutableName.find(L'\0') == std::wstring::npos);
        for (const std::wstring& file : record.Files) {
            Check(!file.empty() && file.find(L'\0') == std::wstring::npos);
            CheckTranslation(file);
        }
        Check(record.ExecutablePath == record.ExecutableName ||
              std::find(record.Files.begin(), record.Files.end(), record.ExecutablePath) !=
                  record.Files.end());
    } catch (const EPrefetchFormat&) {
    } catch (const EPrefetchNotSupported& e) {
        Check(std::string_view(e.what()).starts_with("AVersion: "));
    }
    return 0;
}
