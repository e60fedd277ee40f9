#include "components/rekova/FileAccess.h"

#include "components/rekova/Boundary.h"
#include "components/rekova/EntryState.h"
#include "platform/Handles.h"
#include "platform/Paths.h"

namespace velmora::rekova {

namespace {

// A folder named with a trailing "\" is the folder, not its parent; a drive's root keeps it.
std::wstring WithoutTrailingSlash(LPCWSTR path) {
    std::wstring entry(path);
    while (entry.size() > 3 && entry.back() == L'\\')
        entry.pop_back();
    return entry;
}

} // namespace

void TFileAccess::AddParentFolder(TCaptures& captures, LPCWSTR path) const {
    const std::wstring trimmed = WithoutTrailingSlash(path);
    std::wstring_view entry(trimmed);
    size_t slash = entry.find_last_of(L'\\');
    if (slash == std::wstring_view::npos || slash < 3)
        return;
    std::wstring_view folder = entry.substr(0, slash);
    if (FolderExists(folder) && !FRecorder->HasFolderRecord(folder))
        captures.insert(captures.begin(), CaptureFolder(folder));
}

HRESULT TFileAccess::Change(LPCWSTR path, std::wstring_view action, const std::function<TCaptures()>& capture,
                            const std::function<BOOL()>& apply, LPCWSTR extra) {
    if (!path)
        return E_POINTER;
    return Guarded(
        *FRecorder,
        [&] {
            HRESULT result = FRecorder->Change(
                [&] {
                    TCaptures captures = capture();
                    for (LPCWSTR entry : {path, extra})
                        if (entry)
                            AddParentFolder(captures, entry);
                    return captures;
                },
                [&] { return apply() ? S_OK : HRESULT_FROM_WIN32(GetLastError()); },
                [](HRESULT r) { return SUCCEEDED(r); });
            if (FAILED(result))
                FRecorder->SetError(
                    Format(L"Cannot %s %s: %s", action, path, SystemErrorMessage(HRESULT_CODE(result))));
            return result;
        },
        HResultFailure);
}

HRESULT STDMETHODCALLTYPE TFileAccess::CreateFolder(LPCWSTR Path) {
    return Change(
        Path, L"create the folder", [Path] { return TCaptures{CaptureFolder(WithoutTrailingSlash(Path))}; },
        [Path] { return CreateDirectoryW(Path, nullptr); });
}

HRESULT STDMETHODCALLTYPE TFileAccess::RemoveFile(LPCWSTR Path) {
    return Change(
        Path, L"delete the file", [Path] { return TCaptures{CaptureFile(Path)}; },
        [Path] { return DeleteFileW(Path); });
}

HRESULT STDMETHODCALLTYPE TFileAccess::MoveEntry(LPCWSTR From, LPCWSTR To) {
    if (!To)
        return E_POINTER;
    return Change(
        From, L"move",
        [From, To] {
            std::optional<TEntryState> state = ReadEntryState(From);
            if (state && (state->Attributes & FILE_ATTRIBUTE_DIRECTORY))
                return TCaptures{CaptureMovedFolder(From, To)};
            return TCaptures{CaptureFile(From), CaptureFile(To)};
        },
        [From, To] { return MoveFileExW(From, To, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED); }, To);
}

DWORD STDMETHODCALLTYPE TFileAccess::GetAttributes(LPCWSTR Path) {
    if (!Path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    return GetFileAttributesW(Path);
}

HRESULT STDMETHODCALLTYPE TFileAccess::SetAttributes(LPCWSTR Path, DWORD Attributes) {
    return Change(
        Path, L"set the attributes of", [Path] { return TCaptures{CaptureFile(Path)}; },
        [Path, Attributes] { return SetFileAttributesW(Path, Attributes); });
}

HRESULT STDMETHODCALLTYPE TFileAccess::SetTimes(LPCWSTR Path, const FILETIME* Created,
                                                const FILETIME* Accessed, const FILETIME* Written) {
    return Change(
        Path, L"set the times of", [Path] { return TCaptures{CaptureFile(Path)}; },
        [=] {
            unique_file entry(CreateFileW(Path, FILE_WRITE_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            return entry && SetFileTime(entry.get(), Created, Accessed, Written);
        });
}

HRESULT STDMETHODCALLTYPE TFileAccess::CopyEntry(LPCWSTR From, LPCWSTR To, bool FailIfExists) {
    if (!From)
        return E_POINTER;
    return Change(
        To, L"copy to", [To] { return TCaptures{CaptureFile(To)}; },
        [=] { return CopyFileW(From, To, FailIfExists); });
}

HRESULT STDMETHODCALLTYPE TFileAccess::RemoveFolder(LPCWSTR Path) {
    return Change(
        Path, L"remove the folder", [Path] { return TCaptures{CaptureFolder(WithoutTrailingSlash(Path))}; },
        [Path] { return RemoveDirectoryW(Path); });
}

} // namespace velmora::rekova
