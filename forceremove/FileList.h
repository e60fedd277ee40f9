#pragma once
// Every file and folder a forced removal will delete, in the order found.
// Paths and file names are compared without regard to case.
#include "forceremove/Leftovers.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora {

class TFRSharedDlls;

class TFRFileList {
public:
    // A file the shared-DLL counters say another program still uses is never listed.
    explicit TFRFileList(TFRSharedDlls& sharedLibs);

    // The entry of the path: the listed one (unchanged), else a new one.
    // Nothing when the path is a shared DLL that must stay.
    TFRFile* AddFile(std::wstring_view path, int64_t size);
    // Folders are passed with a trailing "\" and after their content; they
    // count in neither total.
    TFRFile* AddDir(std::wstring_view path);
    // The path is listed, as a file or a folder.
    bool DirExists(std::wstring_view path) const;
    // The first listed file of that file name (and size).
    TFRFile* FindFile(std::wstring_view name) const;
    TFRFile* FindFile(std::wstring_view name, int64_t size) const;

    // Raises std::out_of_range for an index outside the list.
    TFRFile& GetItem(size_t index) const { return *FItems.at(index); }
    size_t Count() const { return FItems.size(); }
    int32_t TotalFiles() const { return FTotalFiles; }
    int64_t TotalSize() const { return FTotalSize; }
    void Clear();

private:
    TFRFile* Append(std::wstring_view path, bool isFolder, int64_t size);

    std::unordered_map<std::wstring, TFRFile*> FPathHash;
    std::unordered_map<std::wstring, TFRFile*> FFileHash;
    std::vector<std::unique_ptr<TFRFile>> FItems;
    int32_t FTotalFiles = 0;
    int64_t FTotalSize = 0;
    TFRSharedDlls& FSharedLibs;
};

} // namespace velmora
