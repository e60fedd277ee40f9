#pragma once
// What a forced removal has found and will delete: files and folders,
// registry keys and values, services, shortcuts. The removal's lists own
// these objects. Each is also handed to the front end through its public
// interface (IFRFile, IFRRegEntry, IFRService, IFRShortcut, Windows only):
// that part is owned by the leftover, so the front end's references never
// free it and stay valid while the leftover's list lives.
#include "platform/RegistryKeyText.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct IFRFile;
struct IFRRegEntry;
struct IFRService;
struct IFRShortcut;

namespace velmora {

// The interface object of a leftover (LeftoverIntf.win.cpp).
class TLeftoverIntf {
public:
    virtual ~TLeftoverIntf() = default;
};

// What the removal did to one leftover. The worker writes it while the
// front end polls it.
class TRemovalOutcome {
public:
    bool Removed() const;
    std::wstring ErrorMessage() const;
    void SetRemoved();
    // Not removed, and why.
    void SetFailed(std::wstring message);

private:
    mutable std::mutex FLock;
    bool FRemoved = false;
    std::wstring FErrorMessage;
};

class TFRFile {
public:
    // A file with its size in bytes, or a folder (size 0).
    TFRFile(std::wstring path, bool isFolder, int64_t size);
    TFRFile(const TFRFile&) = delete;
    TFRFile& operator=(const TFRFile&) = delete;

    const std::wstring& Path() const { return FPath; }
    bool IsFolder() const { return FIsFolder; }
    int64_t Size() const { return FSize; }
    // Set by the check before the removal: the file could be opened exclusively.
    bool CanRemove() const { return FCanRemove.load(); }
    void SetCanRemove(bool canRemove) { FCanRemove = canRemove; }
    TRemovalOutcome& Outcome() { return FOutcome; }
    const TRemovalOutcome& Outcome() const { return FOutcome; }

    // Windows only (LeftoverIntf.win.cpp).
    IFRFile* Intf();

private:
    const std::wstring FPath;
    const bool FIsFolder;
    const int64_t FSize;
    std::atomic<bool> FCanRemove{false};
    TRemovalOutcome FOutcome;
    std::once_flag FIntfMade;
    std::unique_ptr<TLeftoverIntf> FIntf;
};

// A registry key to delete whole (empty value name) or one value of it.
class TFRRegEntry {
public:
    TFRRegEntry(TRegistryKey key, std::wstring valueName);
    TFRRegEntry(const TFRRegEntry&) = delete;
    TFRRegEntry& operator=(const TFRRegEntry&) = delete;

    TRegRoot Root() const { return FKey.Root; }
    TRegView View() const { return FKey.View; }
    // The view as access bits: KEY_WOW64_64KEY, KEY_WOW64_32KEY or 0.
    uint32_t Flag() const { return RegViewFlag(FKey.View); }
    // The path below the root, without leading or trailing "\".
    const std::wstring& Key() const { return FKey.Path; }
    const TRegistryKey& RegistryKey() const { return FKey; }
    const std::wstring& ValueName() const { return FValueName; }
    bool IsValue() const { return !FValueName.empty(); }
    // View, root, key and value name as one text:
    // "(x64)HKEY_LOCAL_MACHINE\Software\App\Value", "...\Software\App\" for a whole key.
    std::wstring FullPath() const;
    bool Removed() const { return FRemoved.load(); }
    void SetRemoved(bool removed) { FRemoved = removed; }

    IFRRegEntry* Intf();

private:
    const TRegistryKey FKey;
    const std::wstring FValueName;
    std::atomic<bool> FRemoved{false};
    std::once_flag FIntfMade;
    std::unique_ptr<TLeftoverIntf> FIntf;
};

class TFRService {
public:
    // path: the service's program as configured (quotes and arguments kept).
    TFRService(std::wstring name, std::wstring path, std::wstring displayName);
    TFRService(const TFRService&) = delete;
    TFRService& operator=(const TFRService&) = delete;

    const std::wstring& Name() const { return FName; }
    const std::wstring& Path() const { return FPath; }
    const std::wstring& DisplayName() const { return FDisplayName; }
    TRemovalOutcome& Outcome() { return FOutcome; }
    const TRemovalOutcome& Outcome() const { return FOutcome; }

    IFRService* Intf();

private:
    const std::wstring FDisplayName;
    const std::wstring FName;
    const std::wstring FPath;
    TRemovalOutcome FOutcome;
    std::once_flag FIntfMade;
    std::unique_ptr<TLeftoverIntf> FIntf;
};

// A shortcut into the program: its .lnk entry (owned by the file list) and
// the target it resolves to (may be empty).
class TFRShortcut {
public:
    TFRShortcut(TFRFile& shortcutFile, std::wstring target);
    TFRShortcut(const TFRShortcut&) = delete;
    TFRShortcut& operator=(const TFRShortcut&) = delete;

    TFRFile& ShortcutFile() const { return FShortcutFile; }
    const std::wstring& Target() const { return FTarget; }

    IFRShortcut* Intf();

private:
    TFRFile& FShortcutFile;
    const std::wstring FTarget;
    std::once_flag FIntfMade;
    std::unique_ptr<TLeftoverIntf> FIntf;
};

} // namespace velmora
