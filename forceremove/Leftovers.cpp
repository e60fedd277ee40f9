#include "forceremove/Leftovers.h"

namespace velmora {

bool TRemovalOutcome::Removed() const {
    std::lock_guard lock(FLock);
    return FRemoved;
}

std::wstring TRemovalOutcome::ErrorMessage() const {
    std::lock_guard lock(FLock);
    return FErrorMessage;
}

void TRemovalOutcome::SetRemoved() {
    std::lock_guard lock(FLock);
    FRemoved = true;
    FErrorMessage.clear();
}

void TRemovalOutcome::SetFailed(std::wstring message) {
    std::lock_guard lock(FLock);
    FRemoved = false;
    FErrorMessage = std::move(message);
}

TFRFile::TFRFile(std::wstring path, bool isFolder, int64_t size)
    : FPath(std::move(path)), FIsFolder(isFolder), FSize(isFolder ? 0 : size) {}

TFRRegEntry::TFRRegEntry(TRegistryKey key, std::wstring valueName)
    : FKey(std::move(key)), FValueName(std::move(valueName)) {}

std::wstring TFRRegEntry::FullPath() const {
    return RegistryKeyToStr(FKey.View, FKey.Root, FKey.Path + L'\\' + FValueName);
}

TFRService::TFRService(std::wstring name, std::wstring path, std::wstring displayName)
    : FDisplayName(std::move(displayName)), FName(std::move(name)), FPath(std::move(path)) {}

TFRShortcut::TFRShortcut(TFRFile& shortcutFile, std::wstring target)
    : FShortcutFile(shortcutFile), FTarget(std::move(target)) {}

} // namespace velmora
