#include "forceremove/Services.h"

#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/ServiceManager.h"
#include "frame/DebugLog.h"
#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/Text.h"

namespace velmora {

namespace {

// The program of a configured command line: trimmed, and when quoted the
// quoted part only.
std::wstring CleanServicePath(std::wstring_view path) {
    std::wstring_view trimmed = Trim(path);
    if (!trimmed.starts_with(L'"'))
        return std::wstring(trimmed);
    trimmed.remove_prefix(1);
    return std::wstring(trimmed.substr(0, trimmed.find(L'"')));
}

} // namespace

TFRServices::TFRServices(TAppFolders& appFolders, TFRServiceList& svcList, TFRFileList& fileList)
    : FAppFolders(appFolders), FSvcList(svcList), FFileList(fileList) {}

void TFRServices::Run() {
    TSvcManager manager;
    manager.Update();
    const size_t count = manager.Count();
    for (size_t i = 0; i < count; ++i) {
        SetProgress(static_cast<int32_t>(i * 100 / count));
        const TService& service = manager.GetService(i);
        if (BelongsToProgram(service.Path()))
            FSvcList.push_back(
                std::make_unique<TFRService>(service.Name(), service.Path(), service.DisplayName()));
    }
}

bool TFRServices::BelongsToProgram(const std::wstring& path) const {
    if (path.empty())
        return false;
    if (FAppFolders.InAppFolder(path))
        return true;
    // A missing program has no size to compare: only its folder could tell.
    std::wstring program = CleanServicePath(path);
    auto size = FileSize(program);
    return size && FFileList.FindFile(ExtractFileName(program), static_cast<int64_t>(*size)) != nullptr;
}

} // namespace velmora
