#include "forceremove/ExtData.h"

#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

bool IsExtension(std::wstring_view name) {
    return name.starts_with(L'.') || name == L"*";
}

// Root names of the classes key that are the system's own, not ProgIDs.
bool IsSystemClassName(std::wstring_view name) {
    static constexpr std::wstring_view Names[] = {
        L"Applications", L"AppID", L"CLSID",   L"Folder", L"CID",       L"ConflictFolder", L"Directory",
        L"dllfile",      L"Drive", L"exefile", L"file",   L"Interface", L"LNKFILE"};
    return std::any_of(std::begin(Names), std::end(Names),
                       [&](auto system) { return SameText(name, system); });
}

} // namespace

TFRExtData::TFRExtData(TFRRegList& regList, TFRFileList& fileList, TAppFolders& appFolders,
                       TIDList& appIDList, TWorkflowCheck checkWorkflow, TIDList& clsidList,
                       const TRegistrySource& source)
    : FScan(source, appFolders, regList), FFileList(fileList), FAppIDList(appIDList),
      FCheckWorkflow(std::move(checkWorkflow)), FCLSIDList(clsidList) {}

void TFRExtData::Run() {
    Pass(FScan.SubKeysInViews(L"HKEY_CLASSES_ROOT\\CLSID\\"), 0, &TFRExtData::CheckClass);
    const std::vector<TSubKey> names = FScan.SubKeysInViews(L"HKEY_CLASSES_ROOT\\");
    Pass(names, 33, &TFRExtData::CheckProgID);
    Pass(names, 66, &TFRExtData::CheckExtension);
}

void TFRExtData::Pass(const std::vector<TSubKey>& items, int32_t base, TItemStep step) {
    const size_t count = items.size();
    for (size_t i = 0; i < count; ++i) {
        if (FCheckWorkflow)
            FCheckWorkflow();
        SetProgress(base + static_cast<int32_t>(i * 100 / count / 3));
        (this->*step)(items[i]);
    }
}

void TFRExtData::CheckClass(const TSubKey& clsid) {
    if (ClassBelongs(clsid.Text())) {
        FCLSIDList.Add(clsid.Name);
        FScan.AddKey(clsid.Text());
    }
}

bool TFRExtData::ClassBelongs(const std::wstring& classKey) const {
    const TRegistrySource& source = FScan.Source();
    for (auto server : {L"LocalServer32\\", L"InProcServer32\\"})
        if (FScan.ProgramInAppFolder(source.ReadText(classKey + server, L"").value_or(L"")))
            return true;
    return FAppIDList.Exists(source.ReadString(classKey, L"AppID").value_or(L""));
}

void TFRExtData::CheckProgID(const TSubKey& name) {
    if (IsExtension(name.Name) || IsSystemClassName(name.Name) || !ProgIDBelongs(name.Text()))
        return;
    FScan.AddKey(name.Text());
    FProgIDList.push_back(name.Name);
}

bool TFRExtData::ProgIDBelongs(const std::wstring& progIDKey) const {
    const TRegistrySource& source = FScan.Source();
    if (FCLSIDList.Exists(source.ReadText(progIDKey + L"CLSID\\", L"").value_or(L"")))
        return true;
    const std::wstring shell = progIDKey + L"Shell\\";
    for (const auto& verb : source.SubKeyNames(shell))
        if (FScan.ProgramInAppFolder(source.ReadText(shell + verb + L"\\Command\\", L"").value_or(L"")))
            return true;
    return false;
}

bool TFRExtData::IsProgIDOfProgram(std::wstring_view name) const {
    return std::any_of(FProgIDList.begin(), FProgIDList.end(),
                       [&](const std::wstring& progID) { return SameText(progID, name); });
}

void TFRExtData::CheckExtension(const TSubKey& name) {
    if (!IsExtension(name.Name))
        return;
    const TRegistrySource& source = FScan.Source();
    const std::wstring openWithList = name.Text() + L"OpenWithList\\";
    for (const auto& program : source.SubKeyNames(openWithList)) {
        const std::wstring key = openWithList + program + L'\\';
        if (FFileList.FindFile(program) && FScan.RecordsOnlyProgramPaths(key))
            FScan.AddKey(key);
    }
    // Only the value goes: the extension and the other programs' values stay.
    const std::wstring openWithProgIDs = name.Text() + L"OpenWithProgIds\\";
    for (const auto& progID : source.ValueNames(openWithProgIDs))
        if (IsProgIDOfProgram(progID))
            FScan.AddValue(openWithProgIDs, progID);
    const std::wstring handlers = name.Text() + L"shellex\\ContextMenuHandlers\\";
    for (const auto& handler : source.SubKeyNames(handlers)) {
        const std::wstring key = handlers + handler + L'\\';
        if (FCLSIDList.Exists(handler) || FCLSIDList.Exists(source.ReadText(key, L"").value_or(L"")))
            FScan.AddKey(key);
    }
}

} // namespace velmora
