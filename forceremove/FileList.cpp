#include "forceremove/FileList.h"

#include "forceremove/SharedDlls.h"
#include "platform/PathText.h"
#include "platform/Text.h"

namespace velmora {

TFRFileList::TFRFileList(TFRSharedDlls& sharedLibs) : FSharedLibs(sharedLibs) {}

TFRFile* TFRFileList::AddFile(std::wstring_view path, int64_t size) {
    if (auto listed = FPathHash.find(UpperCase(path)); listed != FPathHash.end())
        return listed->second;
    if (!FSharedLibs.CanDelete(path))
        return nullptr;
    TFRFile* file = Append(path, false, size);
    FTotalSize += size;
    ++FTotalFiles;
    FFileHash.try_emplace(UpperCase(ExtractFileName(path)), file);
    return file;
}

TFRFile* TFRFileList::AddDir(std::wstring_view path) {
    if (auto listed = FPathHash.find(UpperCase(path)); listed != FPathHash.end())
        return listed->second;
    return Append(path, true, 0);
}

TFRFile* TFRFileList::Append(std::wstring_view path, bool isFolder, int64_t size) {
    FItems.push_back(std::make_unique<TFRFile>(std::wstring(path), isFolder, size));
    TFRFile* entry = FItems.back().get();
    FPathHash.emplace(UpperCase(path), entry);
    return entry;
}

bool TFRFileList::DirExists(std::wstring_view path) const {
    return FPathHash.contains(UpperCase(path));
}

TFRFile* TFRFileList::FindFile(std::wstring_view name) const {
    auto found = FFileHash.find(UpperCase(name));
    return found == FFileHash.end() ? nullptr : found->second;
}

TFRFile* TFRFileList::FindFile(std::wstring_view name, int64_t size) const {
    TFRFile* file = FindFile(name);
    return file && file->Size() == size ? file : nullptr;
}

void TFRFileList::Clear() {
    FPathHash.clear();
    FFileHash.clear();
    FItems.clear();
    FTotalFiles = 0;
    FTotalSize = 0;
}

} // namespace velmora
