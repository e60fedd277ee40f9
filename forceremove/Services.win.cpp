#include "forceremove/Services.h"

#include "forceremove/AppFolders.h"
#include "forceremove/ServiceManager.h"
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

TFRServices::TFRServices(TAppFolders& appFolders, TFRServiceList& svcList)
    : FAppFolders(appFolders), FSvcList(svcList) {}

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
    const std::wstring program = CleanServicePath(path);
    return !program.empty() && FAppFolders.InAppFolder(program);
}

} // namespace velmora
