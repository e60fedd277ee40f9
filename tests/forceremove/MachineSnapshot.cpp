#include "MachineSnapshot.h"

#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/PathText.h"
#include "platform/Registry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace velmora::testing {

namespace {

constexpr char Absent[] = "<absent>";

std::string Bytes(const void* data, size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

std::string KeyName(TRegRoot root, const std::wstring& path, TRegView view) {
    return Narrow(RegistryKeyToStr(ViewAccess(view), RootKey(root), path));
}

} // namespace

void TMachineSnapshot::AddFolder(const std::wstring& folder) {
    const std::wstring base = IncludeTrailingBackslash(folder);
    const DWORD attributes = GetFileAttributesW(base.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        FEntries[L"folder " + base] = Absent;
        return;
    }
    FEntries[L"folder " + base] = std::to_string(attributes);
    for (const TFindData& entry : FindFiles(base + L"*")) {
        const std::wstring path = base + std::wstring(entry.Name());
        if (entry.IsFolder() && entry.IsReparsePoint())
            FEntries[L"link " + path] = "";
        else if (entry.IsFolder())
            AddFolder(path);
        else
            AddFile(path);
    }
}

void TMachineSnapshot::AddFile(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    FEntries[L"file " + path] =
        file ? std::to_string(GetFileAttributesW(path.c_str())) + ":" +
                   std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())
             : Absent;
}

void TMachineSnapshot::AddKey(TRegRoot root, const std::wstring& path, TRegView view) {
    const TRegKey key = TRegKey::Open(root, path, KEY_READ, view);
    const std::wstring name = Widen(KeyName(root, path, view));
    if (!key) {
        FEntries[L"key " + name] = Absent;
        return;
    }
    FEntries[L"key " + name] = "";
    key.ForEachValue([&](const std::wstring& value, const TRegValue& data) {
        FEntries[L"value " + name + L"\\" + value] =
            std::to_string(data.Type) + ":" + Bytes(data.Data.data(), data.Data.size());
    });
    for (const std::wstring& sub : key.SubKeyNames().ToVector())
        AddKey(root, path + L"\\" + sub, view);
}

void TMachineSnapshot::AddValue(TRegRoot root, const std::wstring& path, const std::wstring& name,
                                TRegView view) {
    const auto data = TRegKey::Open(root, path, KEY_READ, view).ReadValue(name);
    FEntries[L"value " + Widen(KeyName(root, path, view)) + L"\\" + name] =
        data ? std::to_string(data->Type) + ":" + Bytes(data->Data.data(), data->Data.size()) : Absent;
}

void TMachineSnapshot::AddValuesExcept(TRegRoot root, const std::wstring& path, TRegView view,
                                       const std::vector<std::wstring>& except) {
    for (const std::wstring& name : TRegKey::Open(root, path, KEY_READ, view).ValueNames().ToVector())
        if (std::find(except.begin(), except.end(), name) == except.end())
            AddValue(root, path, name, view);
}

void TMachineSnapshot::AddService(const std::wstring& name) {
    unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    unique_schandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
    DWORD needed = 0;
    std::string configuration = Absent;
    if (service && !QueryServiceConfigW(service.get(), nullptr, 0, &needed) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        std::vector<BYTE> buffer(needed);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (QueryServiceConfigW(service.get(), config, needed, &needed)) {
            auto text = [](const wchar_t* s) { return Narrow(s ? s : L""); };
            std::ostringstream out;
            out << config->dwServiceType << '|' << config->dwStartType << '|' << config->dwErrorControl << '|'
                << text(config->lpBinaryPathName) << '|' << text(config->lpLoadOrderGroup) << '|'
                << config->dwTagId << '|' << text(config->lpDependencies) << '|'
                << text(config->lpServiceStartName) << '|' << text(config->lpDisplayName);
            configuration = out.str();
        }
    }
    FEntries[L"service " + name] = configuration;
}

std::vector<std::string> TMachineSnapshot::DifferencesTo(const TMachineSnapshot& later) const {
    std::vector<std::string> differences;
    for (const auto& [name, content] : FEntries) {
        auto found = later.FEntries.find(name);
        if (found == later.FEntries.end() || (found->second == Absent && content != Absent))
            differences.push_back("gone: " + Narrow(name));
        else if (found->second != content)
            differences.push_back("changed: " + Narrow(name));
    }
    for (const auto& [name, content] : later.FEntries)
        if (!FEntries.contains(name))
            differences.push_back("new: " + Narrow(name));
    return differences;
}

} // namespace velmora::testing
