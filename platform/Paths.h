#pragma once
// System folders and file-name helpers bound to Windows (environment,
// file system, search path). The portable rules are in platform/PathText.h.
#include <windows.h>
#include <shlwapi.h>

#include "platform/PathText.h"

// Here the names are ours, not the Win32 macros (PathText.h may have been
// included before the Win32 headers).
#undef PathRemoveArgs
#undef SearchPath

#include <string>
#include <string_view>

namespace velmora {

// Folders without a trailing backslash.
std::wstring SystemFolder();
std::wstring SystemFolderWithBackslash();
std::wstring WindowsFolder();
// The 64-bit program files folder on 64-bit Windows; on 32-bit Windows both
// functions answer the one program files folder.
std::wstring ProgramFilesFolder();
std::wstring ProgramFilesX86Folder();
std::wstring CommonAppDataFolder();
std::wstring AppDataFolder();
std::wstring LocalAppDataFolder();
std::wstring TempFolder();
// A shell folder by CSIDL; empty when the shell does not know it.
std::wstring SpecialFolder(int csidl);

// A known folder by its braced identifier ("{...}"): its default path,
// not checked for existence; nothing when the system does not know it (or has
// no known folders, before Windows Vista).
std::optional<std::wstring> KnownFolderPath(std::wstring_view id);

// Environment variables expanded by the system's rule.
std::wstring ExpandEnvironment(std::wstring_view text);
std::optional<std::wstring> EnvironmentVariable(const std::wstring& name);
// Variables expanded, surrounding blanks and quotes removed.
std::wstring PrepareFileName(std::wstring_view text);
// Finding a command's program on this system: the files on disk, the
// environment, the system search path.
TCommandProbe SystemCommandProbe();
// The program file a command line runs (the rule of PathText.h), mapped
// into the 64-bit system folder where needed.
std::wstring ProgramOfCommand(std::wstring_view commandLine);
// The full path of a file found on the system search path; empty when not
// found. extension (".exe") is appended when the name has none.
std::wstring SearchPath(std::wstring_view fileName, std::wstring_view extension = {});
// Maps a path into the 64-bit system folder for a 32-bit process on 64-bit
// Windows ("System32" to "Sysnative"); unchanged in the x64 build.
std::wstring CheckFileX64(std::wstring_view path);

bool FileExists(std::wstring_view path);   // a file, not a folder
bool FolderExists(std::wstring_view path); // a folder
bool PathExists(std::wstring_view path);   // either

} // namespace velmora
