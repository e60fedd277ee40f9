#include "components/trustika/Signature.h"

#include "platform/Files.h"
#include "platform/Handles.h"
#include "platform/Paths.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>

#include <optional>
#include <string>
#include <vector>

namespace velmora::trustika {

namespace {

// Catalog-administrator handles have their own close function; owned like
// every other handle kind.
struct CatAdminTraits {
    using Type = HCATADMIN;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { CryptCATAdminReleaseContext(h, 0); }
};
using unique_catadmin = TUniqueHandle<CatAdminTraits>;

// A catalog context belongs to its administrator context.
class TCatalogContext {
public:
    TCatalogContext(HCATADMIN admin, HCATINFO info) : FAdmin(admin), FInfo(info) {}
    ~TCatalogContext() {
        if (FInfo)
            CryptCATAdminReleaseCatalogContext(FAdmin, FInfo, 0);
    }
    TCatalogContext(const TCatalogContext&) = delete;
    TCatalogContext& operator=(const TCatalogContext&) = delete;
    HCATINFO get() const { return FInfo; }

private:
    HCATADMIN FAdmin;
    HCATINFO FInfo;
};

LONG VerifyTrust(WINTRUST_DATA& data) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    // INVALID_HANDLE_VALUE: no window may ever be shown.
    LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
}

unique_file OpenForHashing(const std::wstring& path) {
    return unique_file(CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring HexText(const std::vector<BYTE>& bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (BYTE b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

} // namespace

LONG VerifyEmbeddedSignature(std::wstring_view path) {
    std::wstring file(path);
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = file.c_str();
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    return VerifyTrust(data);
}

LONG VerifyCatalogSignature(std::wstring_view path) {
    std::wstring file(path);
    unique_file handle = OpenForHashing(file);
    if (!handle)
        return static_cast<LONG>(HRESULT_FROM_WIN32(GetLastError()));
    unique_catadmin admin;
    if (!CryptCATAdminAcquireContext(admin.put(), nullptr, 0))
        return static_cast<LONG>(HRESULT_FROM_WIN32(GetLastError()));
    DWORD hashSize = 0;
    CryptCATAdminCalcHashFromFileHandle(handle.get(), &hashSize, nullptr, 0);
    if (hashSize == 0)
        return static_cast<LONG>(TRUST_E_NOSIGNATURE);
    std::vector<BYTE> hash(hashSize);
    if (!CryptCATAdminCalcHashFromFileHandle(handle.get(), &hashSize, hash.data(), 0))
        return static_cast<LONG>(TRUST_E_NOSIGNATURE);
    hash.resize(hashSize);
    TCatalogContext catalog(admin.get(),
                            CryptCATAdminEnumCatalogFromHash(admin.get(), hash.data(), hashSize, 0, nullptr));
    if (!catalog.get())
        return static_cast<LONG>(TRUST_E_NOSIGNATURE);
    CATALOG_INFO catalogInfo{};
    catalogInfo.cbStruct = sizeof(catalogInfo);
    if (!CryptCATCatalogInfoFromContext(catalog.get(), &catalogInfo, 0))
        return static_cast<LONG>(TRUST_E_NOSIGNATURE);

    std::wstring memberTag = HexText(hash);
    WINTRUST_CATALOG_INFO member{};
    member.cbStruct = sizeof(member);
    member.pcwszCatalogFilePath = catalogInfo.wszCatalogFile;
    member.pcwszMemberFilePath = file.c_str();
    member.pcwszMemberTag = memberTag.c_str();
    member.hMemberFile = handle.get();
    member.pbCalculatedFileHash = hash.data();
    member.cbCalculatedFileHash = hashSize;
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_CATALOG;
    data.pCatalog = &member;
    return VerifyTrust(data);
}

bool SignatureVerifies(std::wstring_view path) {
    std::wstring file(path);
    std::optional<uint64_t> size = FileExists(file) ? FileSize(file) : std::nullopt;
    if (!size || *size > MaxSignedFileSize)
        return false;
    LONG embedded = VerifyEmbeddedSignature(file);
    if (embedded == ERROR_SUCCESS)
        return true;
    // A file with an embedded signature that fails is not rescued by a
    // catalog; only an unsigned one is looked up there.
    if (embedded != static_cast<LONG>(TRUST_E_NOSIGNATURE) &&
        embedded != static_cast<LONG>(TRUST_E_SUBJECT_FORM_UNKNOWN))
        return false;
    return VerifyCatalogSignature(file) == ERROR_SUCCESS;
}

} // namespace velmora::trustika
