#include "components/rekova/Restore.h"

#include "components/rekova/EntryState.h"
#include "components/rekova/KeyTree.h"
#include "components/rekova/ServiceConfig.h"
#include "components/rekova/Store.h"
#include "platform/Format.h"
#include "platform/OSError.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <utility>

namespace velmora::rekova {

namespace {

// A record that could not be given back, with the system's reason.
struct ERestore {
    std::wstring What;
    DWORD Code;
};

void Check(bool ok, std::wstring_view what) {
    if (!ok)
        throw ERestore{std::wstring(what), GetLastError()};
}

class TRestorer {
public:
    explicit TRestorer(const TManifest& manifest) : FFolder(SetFolder(manifest.Id)) {}

    // The text of what was given back.
    std::wstring Restore(const TRecord& record) {
        switch (record.Kind) {
        case TRecordKind::File:
            return RestoreFile(record);
        case TRecordKind::NewFile:
            return RemoveNewFile(record.Target);
        case TRecordKind::Folder:
            return RestoreFolder(record);
        case TRecordKind::NewFolder:
            Check(RemoveDirectoryW(record.Target.c_str()) || !PathExists(record.Target), L"cannot remove it");
            return L"removed the folder " + record.Target;
        case TRecordKind::MovedFolder:
            return MoveBack(record.Target, record.Field(L"from"));
        case TRecordKind::Key:
            Check(ApplyKeyTree(KeyOf(record), Copy(record, L"copy")), L"cannot write it");
            return L"restored the key " + record.Target;
        case TRecordKind::NewKey:
            return DeleteNewKey(record);
        case TRecordKind::Value:
            return RestoreValue(record);
        case TRecordKind::Service:
            return RestoreService(record);
        case TRecordKind::NewService:
            Check(DeleteServiceNamed(record.Target), L"cannot delete it");
            return L"deleted the service " + record.Target;
        }
        throw ERestore{L"unknown record", ERROR_INVALID_DATA};
    }

    // Attributes and times of the folders given back, in the order they came
    // back, so that a folder's earliest record is applied last (setting them
    // does not touch the folder above). A folder the set had created is gone
    // again by now and is left alone.
    void FinishFolders(TRestoreOutcome& outcome) {
        for (const auto& [path, state] : FFolders)
            if (FolderExists(path) && !ApplyEntryState(path, state))
                outcome.Failed.push_back(Format(L"folder %s: cannot set its attributes and times: %s", path,
                                                SystemErrorMessage(GetLastError())));
    }

private:
    std::string Copy(const TRecord& record, std::wstring_view field) const {
        std::optional<std::string> bytes = ReadFileBytes(FFolder + L"\\" + record.Field(field));
        Check(bytes.has_value(), L"its saved copy cannot be read");
        return *bytes;
    }

    static TRegistryKey KeyOf(const TRecord& record) {
        auto key = TRegistryKey::FromText(record.Target);
        if (!key)
            throw ERestore{L"the key text names no root", ERROR_INVALID_DATA};
        return *key;
    }

    std::wstring RestoreFile(const TRecord& record) {
        std::optional<TEntryState> state = EntryStateOf(record);
        Check(state.has_value(), L"its record lacks the attributes or times");
        const std::wstring& path = record.Target;
        size_t slash = path.find_last_of(L'\\');
        if (slash != std::wstring::npos)
            Check(CreateFolderPath(path.substr(0, slash)), L"cannot create its folder");
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        Check(CopyFileW((FFolder + L"\\" + record.Field(L"copy")).c_str(), path.c_str(), FALSE),
              L"cannot write it");
        Check(ApplyEntryState(path, *state), L"cannot set its attributes and times");
        return L"restored the file " + path;
    }

    static std::wstring RemoveNewFile(const std::wstring& path) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        Check(DeleteFileW(path.c_str()) || !PathExists(path), L"cannot delete it");
        return L"deleted the file " + path;
    }

    std::wstring RestoreFolder(const TRecord& record) {
        std::optional<TEntryState> state = EntryStateOf(record);
        Check(state.has_value(), L"its record lacks the attributes or times");
        // A link comes back as the link; its times would reach its target's.
        if (std::optional<TFolderLink> link = FolderLinkOf(record)) {
            if (!ReadFolderLink(record.Target))
                Check(MakeFolderLink(record.Target, *link), L"cannot make it the link to " + link->Target);
            return L"restored the link " + record.Target;
        }
        Check(CreateFolderPath(record.Target), L"cannot create it");
        FFolders.emplace_back(record.Target, *state);
        return L"restored the folder " + record.Target;
    }

    static std::wstring MoveBack(const std::wstring& to, const std::wstring& from) {
        if (PathExists(to))
            Check(MoveFileW(to.c_str(), from.c_str()), L"cannot move it back");
        return Format(L"moved the folder %s back to %s", to, from);
    }

    static std::wstring DeleteNewKey(const TRecord& record) {
        TRegistryKey key = KeyOf(record);
        Check(DeleteKey(key.Root, key.Path, key.View) || GetLastError() == ERROR_FILE_NOT_FOUND,
              L"cannot delete it");
        return L"deleted the key " + record.Target;
    }

    std::wstring RestoreValue(const TRecord& record) {
        TRegistryKey key = KeyOf(record);
        std::wstring name = record.Field(L"name");
        if (record.Field(L"present") == L"no") {
            TRegKey open = TRegKey::Open(key, KEY_SET_VALUE);
            Check(!open || open.DeleteValue(name) || GetLastError() == ERROR_FILE_NOT_FOUND,
                  L"cannot delete the value");
            return Format(L"deleted the value \"%s\" of %s", name, record.Target);
        }
        auto saved = SavedValue(Copy(record, L"copy"));
        Check(saved.has_value(), L"its saved copy holds no value");
        TRegKey open = TRegKey::Create(key.Root, key.Path, KEY_READ | KEY_WRITE, key.View);
        SetLastError(static_cast<DWORD>(open.Status()));
        Check(open && open.WriteValue(name, saved->second), L"cannot write the value");
        return Format(L"restored the value \"%s\" of %s", name, record.Target);
    }

    std::wstring RestoreService(const TRecord& record) {
        std::optional<TServiceConfig> config = ParseServiceConfig(Copy(record, L"config"));
        Check(config.has_value(), L"its saved configuration cannot be read");
        Check(ApplyServiceConfig(*config), L"the service manager refused its configuration");
        Check(ApplyKeyTree({TRegView::x64, TRegRoot::LocalMachine, ServiceKeyPath(config->Name)},
                           Copy(record, L"copy")),
              L"cannot write its registry key");
        return L"restored the service " + record.Target;
    }

    std::wstring FFolder;
    std::vector<std::pair<std::wstring, TEntryState>> FFolders;
};

} // namespace

TRestoreOutcome RestoreRecords(const TManifest& manifest) {
    TRestoreOutcome outcome;
    TRestorer restorer(manifest);
    for (auto record = manifest.Records.rbegin(); record != manifest.Records.rend(); ++record) {
        try {
            outcome.Restored.push_back(restorer.Restore(*record));
        } catch (const ERestore& e) {
            outcome.Failed.push_back(Format(L"%s %s: %s: %s", RecordKindName(record->Kind), record->Target,
                                            e.What, SystemErrorMessage(e.Code)));
        } catch (const std::exception& e) {
            outcome.Failed.push_back(
                Format(L"%s %s: %s", RecordKindName(record->Kind), record->Target, e.what()));
        }
    }
    restorer.FinishFolders(outcome);
    return outcome;
}

} // namespace velmora::rekova
