// backups, restore and backup-setting: the suite's backup component,
// loaded from the folder of this program, and its settings.
#include "tools/velmora/Commands.h"

#include "api/Interfaces.Rekova.h"
#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/LibraryLoader.h"
#include "platform/RekovaSettings.h"
#include "tools/velmora/Console.h"
#include "tools/velmora/ConsoleOutput.h"
#include "tools/velmora/ExitCodes.h"

namespace velmora::cli {

namespace {

constexpr wchar_t BackupComponent[] = L"RekovaHelper.dll";
constexpr HRESULT NotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr HRESULT RestoredAlready = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

TComPtr<IRekova> LoadBackupComponent() {
    TComPtr<IRekova> rekova;
    if (!DllRoutines::GetInstance(BackupComponent, __uuidof(IRekova), reinterpret_cast<void**>(rekova.put())))
        WriteErr(L"The backup component RekovaHelper.dll could not be loaded.\n");
    return rekova;
}

// The program a removal's backup set is named after: the quoted part of
// its name, or the whole name.
std::wstring ProgramOf(const std::wstring& setName) {
    const size_t first = setName.find(L'"');
    const size_t last = setName.rfind(L'"');
    return first != std::wstring::npos && last > first + 1 ? setName.substr(first + 1, last - first - 1)
                                                           : setName;
}

TRecord SetRecord(IRekovaSet& set) {
    const std::wstring name = GetterText(set, &IRekovaSet::GetName);
    return {{L"id", L"Identifier", GetterText(set, &IRekovaSet::GetId)},
            {L"date", L"Date", set.GetDate()},
            {L"program", L"Program", ProgramOf(name)},
            {L"size", L"Size", TSize{set.GetSize()}},
            {L"status", L"Status", GetterText(set, &IRekovaSet::GetStatus)},
            {L"name", L"Backup set", name}};
}

int RunBackups(const TArguments& args) {
    TComPtr<IRekova> rekova = LoadBackupComponent();
    if (!rekova)
        return kNoBackupComponent;
    std::vector<TRecord> records;
    for (int32_t i = 0, count = rekova->GetSetCount(); i < count; ++i) {
        TComPtr<IRekovaSet> set;
        rekova->GetSet(i, set.put());
        if (set)
            records.push_back(SetRecord(*set));
    }
    if (args.Json)
        WriteOut(RenderJson(records));
    else if (records.empty())
        WriteOut(L"No backup sets in " + GetterText(*rekova, &IRekova::GetStoreFolder) + L".\n");
    else
        WriteOut(RenderTable(records, 60));
    return kDone;
}

int RunRestore(const TArguments& args) {
    TComPtr<IRekova> rekova = LoadBackupComponent();
    if (!rekova)
        return kNoBackupComponent;
    unique_bstr report;
    const HRESULT result = rekova->RestoreSet(args.Name.c_str(), report.put());
    const std::wstring restored = BstrText(report.get());
    if (result == NotFound) {
        WriteErr(Format(L"No backup set has the identifier \"%s\".\n", args.Name));
        return kNoBackupSet;
    }
    if (result == RestoredAlready) {
        WriteErr(Format(L"The backup set \"%s\" was restored before; nothing was changed.\n", args.Name));
        return kRestoredBefore;
    }
    WriteOut(restored.empty() || restored.ends_with(L'\n') ? restored : restored + L"\n");
    if (FAILED(result)) {
        WriteErr(Format(L"Not everything of \"%s\" could be restored: %s\n", args.Name,
                        GetterText(*rekova, &IRekova::GetLastErrorText)));
        return kFailed;
    }
    WriteOut(Format(L"The backup set \"%s\" is restored.\n", args.Name));
    return kDone;
}

int RunBackupSetting(const TArguments& args) {
    if (args.Setting &&
        !RekovaSettings::SetBackupType(RekovaSettings::VelmoraToolName, *args.Setting ? 1 : 0)) {
        WriteErr(L"The backup setting could not be written.\n");
        return kFailed;
    }
    WriteOut(ForcedRemovalsBackedUp() ? L"Forced removals are backed up; \"velmora restore ID\" undoes one.\n"
                                      : L"Forced removals are not backed up.\n");
    return kDone;
}

} // namespace

bool ForcedRemovalsBackedUp() {
    return RekovaSettings::IsBackupEnabled(RekovaSettings::VelmoraToolName);
}

int RunBackupCommand(const TArguments& args) {
    switch (args.Command) {
    case TCommand::Backups:
        return RunBackups(args);
    case TCommand::Restore:
        return RunRestore(args);
    default:
        return RunBackupSetting(args);
    }
}

} // namespace velmora::cli
