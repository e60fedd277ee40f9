#include "forceremove/Autorun.h"

#include "forceremove/RegistrySource.h"

namespace velmora {

TFRAutorun::TFRAutorun(TAppFolders& appFolders, TFRRegList& regList, const TRegistrySource& source)
    : FScan(source, appFolders, regList) {}

void TFRAutorun::Run() {
    static constexpr std::wstring_view Keys[] = {
        L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",
        L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",
        L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices\\",
        L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices\\"};
    int32_t progress = 0;
    for (auto key : Keys) {
        for (const auto& view : FScan.Views(key))
            ScanRunKey(view);
        progress += 25;
        if (progress < 100)
            SetProgress(progress);
    }
}

void TFRAutorun::ScanRunKey(const std::wstring& keyText) {
    const TRegistrySource& source = FScan.Source();
    for (const auto& name : source.ValueNames(keyText)) {
        auto command = source.ReadString(keyText, name);
        if (command && FScan.ProgramInAppFolder(*command))
            FScan.AddValue(keyText, name);
    }
}

} // namespace velmora
