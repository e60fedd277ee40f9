#pragma once
// Authenticode evidence about a file.
#include <windows.h>

#include <string_view>

namespace velmora::trustika {

// Files above this size are not hashed: a rating must not keep its caller
// waiting, and no program file of interest is that large.
inline constexpr ULONGLONG MaxSignedFileSize = 256ull * 1024 * 1024;

// The WinVerifyTrust result for the file's embedded signature: no UI, no
// revocation checks and no network retrieval (WTD_CACHE_ONLY_URL_RETRIEVAL),
// so it answers from what is on the machine.
LONG VerifyEmbeddedSignature(std::wstring_view path);
// The same for a signature through a system catalog that lists the file's
// hash (how Windows' own files are signed); TRUST_E_NOSIGNATURE when no
// catalog lists it.
LONG VerifyCatalogSignature(std::wstring_view path);

// True when the file is signed, embedded or through a catalog, and the
// signature verifies to a trusted root.
bool SignatureVerifies(std::wstring_view path);

} // namespace velmora::trustika
