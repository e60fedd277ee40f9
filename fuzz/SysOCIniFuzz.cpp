// Fuzz target of setup information files: any bytes load, and every key a
// section lists is trimmed, free of comments and read back consistently.
// The first input line names the section to read.
#include "features/SysOCIniFile.h"
#include "fuzz/FuzzInput.h"
#include "platform/Text.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const size_t lineEnd = bytes.find('\n');
    const std::wstring section = Widen(bytes.substr(0, lineEnd));
    const TSysOCIniFile ini =
        TSysOCIniFile::FromBytes(lineEnd == bytes.npos ? std::string_view() : bytes.substr(lineEnd + 1));

    std::vector<std::wstring> keys;
    ini.ReadSection(section, keys);
    Check(ini.SectionExists(section) == !keys.empty());
    for (const std::wstring& key : keys) {
        Check(key == Trim(key) && key.find(L';') == key.npos);
        const std::wstring value = ini.ReadString(section, key, L"\n");
        // Only a key without "=" can stand for the whole line and have no value.
        Check(value != L"\n");
        Check(value == Trim(value) && value.find(L';') == value.npos && value.find(L'=') == value.npos);
        if (key.find(L'=') != key.npos)
            Check(value.empty());
    }
    return 0;
}
