#pragma once
// The suite's reputation component (TrustikaHelper.dll), obtained through its
// DllGetInstance. Binary contract: the two methods keep their slots after
// IUnknown's; each answers a one-byte TSoftwareRating.
#include <windows.h>
#include <unknwn.h>

#include "Enums.Velmora.h"

MIDL_INTERFACE("A90B8362-CEEF-4902-A639-A0125EDD0201")
ITrustika : public IUnknown {
    virtual TSoftwareRating STDMETHODCALLTYPE GetFileRating(LPCWSTR Path) = 0;
    virtual TSoftwareRating STDMETHODCALLTYPE GetCompanyRating(LPCWSTR Company) = 0;
};

#if defined(__MINGW32__)
__CRT_UUID_DECL(ITrustika, 0xA90B8362, 0xCEEF, 0x4902, 0xA6, 0x39, 0xA0, 0x12, 0x5E, 0xDD, 0x02, 0x01)
#endif
