#include "features/SysOCIniFile.h"

#include "platform/Format.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace velmora {

TSysOCIniFile TSysOCIniFile::Load(const std::wstring& fileName) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(Narrow(fileName), error);
    if (error || Refused(fileName, size))
        return {};
    std::ifstream file(Narrow(fileName), std::ios::binary);
    if (!file)
        return {};
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return FromBytes(bytes);
}

// There is no ANSI code page here: each byte is the character of that
// number (Latin-1, which the Western Windows code page extends).
std::wstring TSysOCIniFile::AnsiText(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

} // namespace velmora
