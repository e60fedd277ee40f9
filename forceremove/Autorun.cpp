#include "forceremove/Autorun.h"

#include "forceremove/RegistrySource.h"

namespace velmora {

TFRAutorun::TFRAutorun(TAppFolders& appFolders, TFRRegList& regList, const TRegistrySource& source)
    : FEvidence(source, appFolders), FRegList(regList) {}

void TFRAutorun::Run() {
    static constexpr std::wstring_view Keys[] = {
        L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",
        L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",
        L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices\\",
        L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices\\"};
    int32_t progress = 0;
    for (auto key : Keys) {
        for (const auto& view : FEvidence.Views(key))
            ScanRunKey(view);
        progress += 25;
        if (progress < 100)
            SetProgress(progress);
    }
}

void TFRAutorun::ScanRunKey(const std::wstring& keyText) {
    const TRegistrySource& source = FEvidence.Source();
    for (const auto& name : source.ValueNames(keyText)) {
        auto command = source.ReadString(keyText, name);
        if (command && FEvidence.ProgramInAppFolder(*command))
            AddRegValue(FRegList, keyText, name);
    }
}

} // namespace velmora
