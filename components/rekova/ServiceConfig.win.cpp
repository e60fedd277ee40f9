#include "components/rekova/ServiceConfig.h"

#include "components/rekova/Manifest.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Text.h"

#include <cwchar>

namespace velmora::rekova {

namespace {

template <class T, class Query> std::optional<std::vector<BYTE>> QueryBuffer(Query&& query) {
    DWORD needed = 0;
    query(nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return std::nullopt;
    std::vector<BYTE> buffer(std::max<DWORD>(needed, sizeof(T)));
    if (!query(reinterpret_cast<T*>(buffer.data()), needed, &needed))
        return std::nullopt;
    return buffer;
}

const wchar_t* OrNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

// The double-null-terminated list the manager takes.
std::wstring DependencyList(const std::vector<std::wstring>& dependencies) {
    std::wstring list;
    for (const std::wstring& name : dependencies)
        list += name + L'\0';
    return list + L'\0';
}

unique_schandle OpenManager() {
    return unique_schandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

} // namespace

std::wstring ServiceKeyPath(std::wstring_view name) {
    return L"SYSTEM\\CurrentControlSet\\Services\\" + std::wstring(name);
}

std::wstring ServiceNameOf(SC_HANDLE service) {
    auto buffer =
        QueryBuffer<QUERY_SERVICE_CONFIGW>([service](QUERY_SERVICE_CONFIGW* c, DWORD size, DWORD* needed) {
            return QueryServiceConfigW(service, c, size, needed);
        });
    unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!buffer || !manager)
        return {};
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer->data());
    wchar_t name[257];
    DWORD size = 257;
    return GetServiceKeyNameW(manager.get(), config->lpDisplayName, name, &size) ? std::wstring(name)
                                                                                 : std::wstring();
}

std::optional<TServiceConfig> ReadServiceConfig(SC_HANDLE service, std::wstring_view name) {
    auto buffer =
        QueryBuffer<QUERY_SERVICE_CONFIGW>([service](QUERY_SERVICE_CONFIGW* c, DWORD size, DWORD* needed) {
            return QueryServiceConfigW(service, c, size, needed);
        });
    if (!buffer)
        return std::nullopt;
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer->data());
    TServiceConfig config{std::wstring(name),
                          NullableText(c->lpDisplayName),
                          c->dwServiceType,
                          c->dwStartType,
                          c->dwErrorControl,
                          NullableText(c->lpBinaryPathName),
                          NullableText(c->lpLoadOrderGroup),
                          c->dwTagId,
                          {},
                          NullableText(c->lpServiceStartName),
                          {}};
    for (const wchar_t* d = c->lpDependencies; d && *d; d += wcslen(d) + 1)
        config.Dependencies.emplace_back(d);
    auto description = QueryBuffer<BYTE>([service](BYTE* b, DWORD size, DWORD* needed) {
        return QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, b, size, needed);
    });
    if (description)
        config.Description =
            NullableText(reinterpret_cast<SERVICE_DESCRIPTIONW*>(description->data())->lpDescription);
    return config;
}

std::string FormatServiceConfig(const TServiceConfig& c) {
    std::wstring dependencies;
    for (const std::wstring& name : c.Dependencies)
        dependencies += (dependencies.empty() ? L"" : L"\n") + name;
    std::wstring text;
    auto line = [&text](std::wstring_view field, const auto& value) {
        text += Format(L"%s: %s\r\n", field, EscapeText(Format(L"%s", value)));
    };
    line(L"Name", c.Name);
    line(L"DisplayName", c.DisplayName);
    line(L"ServiceType", c.ServiceType);
    line(L"StartType", c.StartType);
    line(L"ErrorControl", c.ErrorControl);
    line(L"BinaryPath", c.BinaryPath);
    line(L"LoadOrderGroup", c.LoadOrderGroup);
    line(L"TagId", c.TagId);
    line(L"Dependencies", dependencies);
    line(L"StartName", c.StartName);
    line(L"Description", c.Description);
    return Narrow(text);
}

std::optional<TServiceConfig> ParseServiceConfig(std::string_view text) {
    TServiceConfig c;
    for (const std::wstring& line : SplitLines(Widen(text))) {
        size_t colon = line.find(L": ");
        if (colon == std::wstring::npos)
            continue;
        std::wstring_view field = std::wstring_view(line).substr(0, colon);
        std::wstring value = UnescapeText(line.substr(colon + 2));
        DWORD number = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
        if (field == L"Name")
            c.Name = value;
        else if (field == L"DisplayName")
            c.DisplayName = value;
        else if (field == L"ServiceType")
            c.ServiceType = number;
        else if (field == L"StartType")
            c.StartType = number;
        else if (field == L"ErrorControl")
            c.ErrorControl = number;
        else if (field == L"BinaryPath")
            c.BinaryPath = value;
        else if (field == L"LoadOrderGroup")
            c.LoadOrderGroup = value;
        else if (field == L"TagId")
            c.TagId = number;
        else if (field == L"Dependencies" && !value.empty())
            c.Dependencies = SplitLines(value);
        else if (field == L"StartName")
            c.StartName = value;
        else if (field == L"Description")
            c.Description = value;
    }
    if (c.Name.empty())
        return std::nullopt;
    return c;
}

bool ApplyServiceConfig(const TServiceConfig& c) {
    unique_schandle manager = OpenManager();
    if (!manager)
        return false;
    std::wstring dependencies = DependencyList(c.Dependencies);
    unique_schandle service(OpenServiceW(manager.get(), c.Name.c_str(), SERVICE_ALL_ACCESS));
    if (service) {
        if (!ChangeServiceConfigW(service.get(), c.ServiceType, c.StartType, c.ErrorControl,
                                  c.BinaryPath.c_str(), c.LoadOrderGroup.c_str(), nullptr,
                                  dependencies.c_str(), OrNull(c.StartName), nullptr, c.DisplayName.c_str()))
            return false;
    } else {
        service.reset(CreateServiceW(manager.get(), c.Name.c_str(), c.DisplayName.c_str(), SERVICE_ALL_ACCESS,
                                     c.ServiceType, c.StartType, c.ErrorControl, c.BinaryPath.c_str(),
                                     OrNull(c.LoadOrderGroup), nullptr, dependencies.c_str(),
                                     OrNull(c.StartName), nullptr));
        if (!service)
            return false;
    }
    SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(c.Description.c_str())};
    return ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
}

bool DeleteServiceNamed(std::wstring_view name) {
    unique_schandle manager = OpenManager();
    if (!manager)
        return false;
    unique_schandle service(OpenServiceW(manager.get(), std::wstring(name).c_str(), DELETE));
    if (!service)
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    return DeleteService(service.get()) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

} // namespace velmora::rekova
