#pragma once
// The servicing state of the machine the doubles run on: package manifests in
// the Windows folder and the update states in the registry, as the servicing
// tools keep them.
#include "platform/Handles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::doubles {

// "Name~PublicKeyToken~Architecture~Locale~Version": the manifest's file
// name without ".mum" and the package's registry key name.
struct TPackageKey {
    std::wstring Name;
    std::wstring PublicKeyToken;
    std::wstring Architecture;
    std::wstring Locale; // empty for a language-neutral package
    std::wstring Version;
};
// Nothing unless the key has exactly five parts.
std::optional<TPackageKey> ParsePackageKey(std::wstring_view key);

// The update names that the package's manifest declares; nothing when the
// manifest is missing or cannot be read.
std::optional<std::vector<std::wstring>> DeclaredUpdates(const std::wstring& packageKey);

// Update states as the registry stores them.
constexpr DWORD kStateDisabled = 0;
constexpr DWORD kStateEnabled = 1;
constexpr DWORD kStateDisablePending = 5;
constexpr DWORD kStateEnablePending = 6;

// An update of a language-neutral package that the registry gives a state.
struct TFeature {
    std::wstring Name;
    DWORD State = kStateDisabled;
};
// Every feature once, sorted by name (letter case ignored).
std::vector<TFeature> ListFeatures();

// The language-neutral foundation package's key; empty when there is none.
std::wstring FoundationPackage();

// The package whose update a selection of that name switches: the first
// package with a state for it (language-neutral ones first), else the first
// language-neutral package whose manifest declares it; empty when no package
// knows the name.
std::wstring PackageOfUpdate(const std::wstring& updateName);
bool WriteUpdateState(const std::wstring& packageKey, const std::wstring& updateName, DWORD state);

// A package's "CurrentState" as the servicing registry records it; nothing
// when the registry has no such package.
constexpr DWORD kPackageAbsent = 0x00;
std::optional<DWORD> PackageState(const std::wstring& packageKey);
bool WritePackageState(const std::wstring& packageKey, DWORD state);
// Whether the manifest's package says "permanent"; nothing when the
// manifest is missing or cannot be read.
std::optional<bool> IsPermanentPackage(const std::wstring& packageKey);

// One servicing operation at a time on a machine: a file held open without
// sharing, deleted when its holder closes it or ends.
class TOperationLock {
public:
    // Nothing when another operation holds the lock.
    static std::optional<TOperationLock> Take();
    static bool Held();

private:
    explicit TOperationLock(unique_file file) : FFile(std::move(file)) {}
    unique_file FFile;
};

} // namespace velmora::doubles
