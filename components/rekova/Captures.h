#pragma once
// The state before a change, taken as records with the copies to save beside
// the manifest. Capturing only reads; the recorder writes.
#include "components/rekova/Manifest.h"
#include "platform/RegistryKeyText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::rekova {

// A copy saved as "<record number>.<Extension>", named by the record's field
// Field, with its size in the field Field + "size".
struct TSavedCopy {
    std::wstring Field;
    std::wstring Extension;
    std::string Bytes;       // the content, unless SourceFile is given
    std::wstring SourceFile; // copied as it is
    int64_t Size = 0;
};

struct TCapture {
    TRecord Record;
    std::vector<TSavedCopy> Copies;
};
using TCaptures = std::vector<TCapture>;

// A file with its content, attributes and times; NewFile when it is
// missing, CaptureFolder when the path names a folder.
TCapture CaptureFile(std::wstring_view path);
// A folder's attributes and times, and the target of a link (a junction or a
// symbolic link); NewFolder when it is missing.
TCapture CaptureFolder(std::wstring_view path);
// The folder with everything below it: the folder's record last, so that
// restoring (last record first) makes the folders before the files in them.
TCaptures CaptureFolderTree(std::wstring_view path);
TCapture CaptureMovedFolder(std::wstring_view from, std::wstring_view to);
// Throws EOSError when the key cannot be read or is a whole root
// (ERROR_INVALID_PARAMETER).
TCapture CaptureKey(const TRegistryKey& key);
TCapture CaptureNewKey(const TRegistryKey& key);
// The value's type and data, or that it is missing; throws EOSError when the
// key cannot be read.
TCapture CaptureValue(const TRegistryKey& key, std::wstring_view name);
// Configuration, description and registry key; throws EOSError when the
// manager does not answer.
TCapture CaptureService(std::wstring_view name);
TCapture CaptureNewService(std::wstring_view name);

} // namespace velmora::rekova
