#include "forceremove/AppFiles.h"

#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/SharedFolders.h"
#include "frame/DebugLog.h"
#include "platform/Files.h"
#include "platform/Paths.h"

#include <shlobj.h>

namespace velmora {

namespace {

// Data folders lie this deep at most below an application-data folder
// ("Vendor\Product\Program").
constexpr int DataFolderDepth = 3;

} // namespace

TFRAppFiles::TFRAppFiles(TAppFolders& appFolders, TFRFileList& fileList, TWorkflowCheck checkWorkflow,
                         std::wstring appName, std::vector<TFRFile*>& dataFileList,
                         const TSharedFolders& sharedFolders)
    : FAppFolders(appFolders), FFileList(fileList), FCheckWorkflow(std::move(checkWorkflow)),
      FAppName(std::move(appName)), FDataFileList(dataFileList), FSharedFolders(sharedFolders) {}

void TFRAppFiles::Run() {
    const std::wstring installFolder = FAppFolders.Count() ? FAppFolders.GetItem(0) : std::wstring();
    if (!installFolder.empty()) {
        if (FSharedFolders.IsShared(installFolder))
            StatisticsLog::Add(L"Install folder not scanned (shared with other programs or Windows): %s",
                               installFolder);
        else
            ScanFolder(installFolder);
    }
    SetProgress(25);
    ScanDataFolder(CSIDL_COMMON_APPDATA);
    SetProgress(50);
    ScanDataFolder(CSIDL_APPDATA);
    SetProgress(75);
    ScanDataFolder(CSIDL_LOCAL_APPDATA);
}

void TFRAppFiles::Check() const {
    if (FCheckWorkflow)
        FCheckWorkflow();
}

void TFRAppFiles::ScanDataFolder(int csidl) {
    const std::wstring base = SpecialFolder(csidl);
    if (base.empty())
        return;
    const std::wstring found = FindDataFolder(IncludeTrailingBackslash(base), DataFolderDepth);
    if (!found.empty() && AddProgramFolder(FAppFolders, found, FSharedFolders))
        ScanFolder(found);
}

std::wstring TFRAppFiles::FindDataFolder(const std::wstring& base, int depth) const {
    Check();
    for (const TFindData& entry : FindFiles(base + L"*")) {
        Check();
        // A link may lead anywhere, also back up ("Application Data" inside
        // the local application-data folder): the search stays out of links.
        if (!entry.IsFolder() || entry.IsReparsePoint())
            continue;
        const std::wstring folder = base + std::wstring(entry.Name()) + L"\\";
        if (entry.Name() == FAppName)
            return folder;
        if (depth > 1)
            if (std::wstring found = FindDataFolder(folder, depth - 1); !found.empty())
                return found;
    }
    return {};
}

void TFRAppFiles::ScanFolder(const std::wstring& folder) {
    Check();
    // A folder that cannot be listed adds nothing, not even itself.
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        AddData(FFileList.AddDir(folder));
        return;
    }
    for (const TFindData& entry : FindFiles(folder + L"*")) {
        Check();
        const std::wstring path = folder + std::wstring(entry.Name());
        // Removing a folder entry removes a linked folder's link, not its target.
        if (entry.IsFolder() && entry.IsReparsePoint())
            AddData(FFileList.AddDir(path + L"\\"));
        else if (entry.IsFolder())
            ScanFolder(path + L"\\");
        else
            AddData(FFileList.AddFile(path, static_cast<int64_t>(entry.Size())));
    }
    AddData(FFileList.AddDir(folder));
}

void TFRAppFiles::AddData(TFRFile* entry) {
    if (entry)
        FDataFileList.push_back(entry);
}

} // namespace velmora
