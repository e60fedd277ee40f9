#include "components/trustika/Trustika.h"

#include "components/trustika/Signature.h"
#include "components/trustika/TrustLists.h"
#include "components/trustika/TrustRules.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <string>

namespace velmora::trustika {

TSoftwareRating RateFile(std::wstring_view path) {
    std::wstring file = CanonicalFilePath(path);
    if (file.empty() || IsNetworkSharePath(file))
        return TSoftwareRating::stUnknown;
    // A mapped network drive is as slow to touch as a share.
    if (file.size() >= 3 && file[1] == L':' && file[2] == L'\\' &&
        GetDriveTypeW(file.substr(0, 3).c_str()) == DRIVE_REMOTE)
        return TSoftwareRating::stUnknown;
    // Nothing on the machine vouches for or against a file that is not there.
    if (!FileExists(file))
        return TSoftwareRating::stUnknown;
    TFileEvidence evidence;
    evidence.ListedRisky = FileListed(TList::RiskyFiles, file);
    evidence.ListedTrusted = !evidence.ListedRisky && FileListed(TList::TrustedFiles, file);
    evidence.SignatureVerifies = [&file] { return SignatureVerifies(file); };
    return DecideFileRating(evidence);
}

TSoftwareRating RateCompany(std::wstring_view company) {
    std::wstring_view name = Trim(company);
    if (name.empty())
        return TSoftwareRating::stUnknown;
    bool risky = CompanyListed(TList::RiskyCompanies, name);
    return DecideCompanyRating(risky, !risky && CompanyListed(TList::TrustedCompanies, name));
}

// The caller is another module: nothing may escape, and a rating that could
// not be made is simply unknown. The component keeps no log of its own.
TSoftwareRating STDMETHODCALLTYPE TTrustika::GetFileRating(LPCWSTR Path) {
    try {
        return Path ? RateFile(Path) : TSoftwareRating::stUnknown;
    } catch (...) {
        return TSoftwareRating::stUnknown;
    }
}

TSoftwareRating STDMETHODCALLTYPE TTrustika::GetCompanyRating(LPCWSTR Company) {
    try {
        return Company ? RateCompany(Company) : TSoftwareRating::stUnknown;
    } catch (...) {
        return TSoftwareRating::stUnknown;
    }
}

} // namespace velmora::trustika
