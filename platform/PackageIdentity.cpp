#include "platform/PackageIdentity.h"

#include "platform/Sha256.h"

#include <cstdint>

namespace velmora {

namespace {

// UTF-16LE bytes, whatever the width of wchar_t.
std::string Utf16LittleEndian(std::wstring_view text) {
    std::string bytes;
    auto unit = [&](uint32_t u) {
        bytes.push_back(char(u & 0xFF));
        bytes.push_back(char(u >> 8));
    };
    for (wchar_t c : text) {
        auto code = static_cast<uint32_t>(c);
        if (code > 0xFFFF) {
            code -= 0x10000;
            unit(0xD800 + (code >> 10));
            unit(0xDC00 + (code & 0x3FF));
        } else
            unit(code);
    }
    return bytes;
}

} // namespace

std::wstring PublisherId(std::wstring_view publisher) {
    static constexpr wchar_t Digits[] = L"0123456789abcdefghjkmnpqrstvwxyz";
    const TSha256Digest digest = Sha256(Utf16LittleEndian(publisher));
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = bits << 8 | digest[i];
    std::wstring id;
    // 65 bits: the 64 of the hash and a zero bit at the end.
    for (int group = 0; group < 13; ++group) {
        const int shift = 64 - 5 * (group + 1);
        const uint64_t value = shift >= 0 ? bits >> shift : bits << -shift;
        id.push_back(Digits[value & 0x1F]);
    }
    return id;
}

std::wstring PackageFamilyName(const TPackageIdentity& identity) {
    return identity.Name + L"_" + PublisherId(identity.Publisher);
}

std::wstring PackageFullName(const TPackageIdentity& identity) {
    return identity.Name + L"_" + identity.Version + L"_" + identity.Architecture + L"_" +
           identity.ResourceId + L"_" + PublisherId(identity.Publisher);
}

} // namespace velmora
