#pragma once
// The installer-data scanner's test package, VelmoraScanTest.msi beside the
// test, completed with the file type wixl cannot write (the extension ".vscan"
// of the ProgID "VelmoraScanTest.Document") and installed with the prefix's
// msiexec.
#include <string>

namespace velmora::testing {

inline constexpr wchar_t ScanProductCode[] = L"{6A1D3C52-9B47-4E0F-8C21-5D7E9F0A1B34}";
inline constexpr wchar_t ScanProductName[] = L"Velmora Scan Test";
// The packed upgrade code's key below HKEY_CLASSES_ROOT\Installer\UpgradeCodes.
inline constexpr wchar_t ScanPackedUpgradeCode[] = L"14F2E8B3D5C6B7A4E901F2D4C6A8B075";

// The package's install folder, with a trailing "\".
std::wstring ScanInstallDir();
// Installs the package (a copy, completed); empty, or what failed.
std::wstring InstallScanPackage();
void UninstallScanPackage();

} // namespace velmora::testing
