#pragma once
// The reputation object handed out by TrustikaHelper.dll. It keeps no state:
// every question reads the local lists and the file afresh, so one object may
// be used from any number of threads.
#include "api/Interfaces.Trustika.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <string_view>

namespace velmora::trustika {

// A file: unknown when the text is empty, names no existing file or names a
// network share (which could keep the caller waiting on the network); else
// risky when a risky file list names it or a folder above it; else
// trustworthy when a trusted file list does or its signature verifies; else
// unknown.
TSoftwareRating RateFile(std::wstring_view path);
// A company: risky when a risky company list names it, else trustworthy when
// a trusted one does, else unknown. Surrounding blanks do not count.
TSoftwareRating RateCompany(std::wstring_view company);

class TTrustika : public TInterfacedObject<ITrustika>, public TLiveCount<TTrustika> {
public:
    TSoftwareRating STDMETHODCALLTYPE GetFileRating(LPCWSTR Path) override;
    TSoftwareRating STDMETHODCALLTYPE GetCompanyRating(LPCWSTR Company) override;
};

} // namespace velmora::trustika
