#include "WindowsTestKit.h"

#include "platform/Module.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora::testing {

namespace fs = std::filesystem;

TTestService::TTestService(const std::wstring& path) : FName(UniqueName(L"VelmoraScanTest")) {
    unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    unique_schandle service(CreateServiceW(manager.get(), FName.c_str(), (FName + L" display").c_str(),
                                           SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                           SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, path.c_str(), nullptr,
                                           nullptr, nullptr, nullptr, nullptr));
    if (!service)
        ADD_FAILURE() << "CreateServiceW failed: " << GetLastError();
}

bool TTestService::Exists() const {
    unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return static_cast<bool>(
        unique_schandle(OpenServiceW(manager.get(), FName.c_str(), SERVICE_QUERY_STATUS)));
}

void TTestService::Delete() const {
    unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    unique_schandle service(OpenServiceW(manager.get(), FName.c_str(), DELETE));
    if (service)
        DeleteService(service.get());
}

TWaitingProgram::TWaitingProgram(const std::wstring& folder) : FProgram(folder + L"worker.exe") {
    fs::create_directories(folder);
    fs::copy_file(ThisModuleFolder() + L"console_double.exe", FProgram);
    TChildStart start;
    start.Application = FProgram;
    start.CommandLine = L"\"" + FProgram + L"\" wait";
    start.CreationFlags = DETACHED_PROCESS;
    FChild = StartChildProcess(start);
}

TWaitingProgram::~TWaitingProgram() {
    if (FChild) {
        TerminateProcess(FChild->Process.get(), 0);
        WaitForSingleObject(FChild->Process.get(), 5000);
    }
}

} // namespace velmora::testing
