#include "components/rekova/Captures.h"

#include "components/rekova/EntryState.h"
#include "components/rekova/KeyTree.h"
#include "components/rekova/ServiceConfig.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/OSError.h"
#include "platform/Registry.h"

namespace velmora::rekova {

namespace {

TSavedCopy TextCopy(std::wstring field, std::wstring extension, std::string bytes) {
    auto size = static_cast<int64_t>(bytes.size());
    return {std::move(field), std::move(extension), std::move(bytes), {}, size};
}

} // namespace

TCapture CaptureFile(std::wstring_view path) {
    std::optional<TEntryState> state = ReadEntryState(path);
    if (!state)
        return {{TRecordKind::NewFile, std::wstring(path), {}}, {}};
    if (state->Attributes & FILE_ATTRIBUTE_DIRECTORY)
        return CaptureFolder(path);
    TCapture capture{{TRecordKind::File, std::wstring(path), {}}, {}};
    PutEntryState(capture.Record, *state);
    std::optional<uint64_t> size = FileSize(path);
    CheckOS(size.has_value(), Format(L"Cannot read %s", path));
    capture.Copies.push_back({L"copy", L"dat", {}, std::wstring(path), static_cast<int64_t>(*size)});
    return capture;
}

TCapture CaptureFolder(std::wstring_view path) {
    std::optional<TEntryState> state = ReadEntryState(path);
    if (!state)
        return {{TRecordKind::NewFolder, std::wstring(path), {}}, {}};
    TCapture capture{{TRecordKind::Folder, std::wstring(path), {}}, {}};
    PutEntryState(capture.Record, *state);
    if (state->Attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        if (std::optional<TFolderLink> link = ReadFolderLink(path))
            PutFolderLink(capture.Record, *link);
    return capture;
}

TCaptures CaptureFolderTree(std::wstring_view path) {
    TCaptures captures;
    std::wstring base(path);
    for (const TFindData& entry : FindFiles(base + L"\\*")) {
        std::wstring child = base + L"\\" + std::wstring(entry.Name());
        if (entry.IsFolder() && !entry.IsReparsePoint()) {
            TCaptures below = CaptureFolderTree(child);
            captures.insert(captures.end(), std::make_move_iterator(below.begin()),
                            std::make_move_iterator(below.end()));
        } else if (entry.IsFolder()) {
            captures.push_back(CaptureFolder(child));
        } else {
            captures.push_back(CaptureFile(child));
        }
    }
    captures.push_back(CaptureFolder(path));
    return captures;
}

TCapture CaptureMovedFolder(std::wstring_view from, std::wstring_view to) {
    TCapture capture{{TRecordKind::MovedFolder, std::wstring(to), {}}, {}};
    capture.Record.SetField(L"from", std::wstring(from));
    return capture;
}

TCapture CaptureKey(const TRegistryKey& key) {
    // Giving back a whole root would delete every key made after the record.
    if (key.Path.empty())
        throw EOSError(Format(L"The whole root %s is not backed up", key.Text()), ERROR_INVALID_PARAMETER);
    return {{TRecordKind::Key, key.Text(), {}}, {TextCopy(L"copy", L"key", SaveKeyTree(key))}};
}

TCapture CaptureNewKey(const TRegistryKey& key) {
    return {{TRecordKind::NewKey, key.Text(), {}}, {}};
}

TCapture CaptureValue(const TRegistryKey& key, std::wstring_view name) {
    TRegKey open = TRegKey::Open(key, KEY_QUERY_VALUE);
    if (!open)
        throw EOSError(Format(L"Cannot read %s", key.Text()), static_cast<DWORD>(open.Status()));
    TCapture capture{{TRecordKind::Value, key.Text(), {{L"name", std::wstring(name)}}}, {}};
    if (std::optional<TRegValue> value = open.ReadValue(name))
        capture.Copies.push_back(TextCopy(L"copy", L"key", SaveValue(name, *value)));
    else
        capture.Record.SetField(L"present", L"no");
    return capture;
}

TCapture CaptureService(std::wstring_view name) {
    unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    unique_schandle service(
        manager ? OpenServiceW(manager.get(), std::wstring(name).c_str(), SERVICE_QUERY_CONFIG) : nullptr);
    CheckOS(static_cast<bool>(service), Format(L"Cannot open the service %s", name));
    std::optional<TServiceConfig> config = ReadServiceConfig(service.get(), name);
    CheckOS(config.has_value(), Format(L"Cannot read the configuration of the service %s", name));
    TRegistryKey key{TRegView::x64, TRegRoot::LocalMachine, ServiceKeyPath(name)};
    return {{TRecordKind::Service, std::wstring(name), {}},
            {TextCopy(L"config", L"svc", FormatServiceConfig(*config)),
             TextCopy(L"copy", L"key", SaveKeyTree(key))}};
}

TCapture CaptureNewService(std::wstring_view name) {
    return {{TRecordKind::NewService, std::wstring(name), {}}, {}};
}

} // namespace velmora::rekova
