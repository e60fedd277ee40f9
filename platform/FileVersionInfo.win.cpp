#include "platform/FileVersionInfo.h"

#include <cwchar>

namespace velmora {

namespace {

std::wstring Hex4(unsigned value) {
    const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text(4, L'0');
    for (int i = 3; i >= 0; --i, value >>= 4)
        text[i] = digits[value & 0xF];
    return text;
}

} // namespace

TFileVersionInfo::TFileVersionInfo(std::wstring_view fileName) {
    std::wstring name(fileName);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(name.c_str(), &ignored);
    if (size == 0)
        return;
    FData.resize(size);
    if (!GetFileVersionInfoW(name.c_str(), 0, size, FData.data()))
        FData.clear();
}

std::optional<TFixedFileVersion> TFileVersionInfo::FixedFileVersion() const {
    if (FData.empty())
        return std::nullopt;
    void* block = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(FData.data(), L"\\", &block, &size) || size < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    if (fixed->dwSignature != VS_FFI_SIGNATURE)
        return std::nullopt;
    return TFixedFileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                             HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
}

std::wstring TFileVersionInfo::GetValue(std::wstring_view name) const {
    if (FData.empty() || name.empty())
        return {};
    std::vector<std::wstring> blocks;
    void* block = nullptr;
    UINT size = 0;
    if (VerQueryValueW(FData.data(), L"\\VarFileInfo\\Translation", &block, &size) &&
        size >= 2 * sizeof(WORD)) {
        const auto* pair = static_cast<const WORD*>(block);
        blocks.push_back(Hex4(pair[0]) + Hex4(pair[1]));
    }
    blocks.push_back(L"040904B0");
    blocks.push_back(L"040904E4");
    for (const auto& b : blocks) {
        std::wstring query = L"\\StringFileInfo\\" + b + L"\\" + std::wstring(name);
        wchar_t* text = nullptr;
        UINT length = 0;
        if (VerQueryValueW(FData.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text)
            return std::wstring(text, wcsnlen(text, length));
    }
    return {};
}

std::vector<uint32_t> TFileVersionInfo::Languages() const {
    void* block = nullptr;
    UINT size = 0;
    if (FData.empty() || !VerQueryValueW(FData.data(), L"\\VarFileInfo\\Translation", &block, &size) ||
        !block)
        return {};
    // Pairs of language and code page.
    const auto* pairs = static_cast<const WORD*>(block);
    std::vector<uint32_t> languages;
    for (UINT i = 0; i + 1 < size / sizeof(WORD); i += 2)
        languages.push_back(pairs[i]);
    return languages;
}

} // namespace velmora
