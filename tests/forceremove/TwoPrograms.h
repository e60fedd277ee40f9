#pragma once
// Two programs of one vendor side by side in the test prefix's real system
// folders, under a vendor name no other test uses; removed afterwards:
//   Program Files\<vendor>\A\        a.exe, lib\a.dll, "shared" (a folder link into B's data)
//   Program Files\<vendor>\B\        b.exe, data\b.dat
//   roaming app data\<vendor>\<NameA> and ...\<NameB>, a file in each
//   local app data\<vendor>\Cache\<NameA>     (three levels deep)
//   common app data\<vendor>\<NameA in upper case>   (not A's: other letter case)
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// Unix symbolic links made in the prefix by the system's own tool (Windows
// code cannot make a link under Wine); a folder link then lists as a folder
// with the reparse-point bit.
void MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Removes the link itself (Windows calls act on the target under Wine).
void RemoveLink(const std::wstring& link);
// The path's folder lists an entry of that name (also a link, whatever its target).
bool Listed(const std::wstring& path);
// A shell link to target, saved as linkFile (folders made as needed).
void WriteShortcut(const std::wstring& linkFile, const std::wstring& target);

class TTwoPrograms {
public:
    TTwoPrograms();
    ~TTwoPrograms();
    TTwoPrograms(const TTwoPrograms&) = delete;
    TTwoPrograms& operator=(const TTwoPrograms&) = delete;

    // Writes a file of `size` bytes (folders made as needed); its full path.
    static std::wstring WriteFile(const std::wstring& path, size_t size);

    const std::wstring Vendor;
    const std::wstring NameA, NameB;       // display names
    const std::wstring InstallA, InstallB; // with trailing "\"
    const std::wstring RoamingA, RoamingB, LocalA, CommonOtherCaseA;
    const std::wstring LinkInA; // A's folder link into B's data, without trailing "\"
    std::wstring AExe, ADll, BExe, BData, RoamingAFile, RoamingBFile, LocalAFile, CommonOtherCaseFile;

private:
    // Vendor folders removed with everything in them; links first.
    std::vector<std::wstring> FVendorFolders;
    std::vector<std::wstring> FLinks;
};

} // namespace velmora::testing
