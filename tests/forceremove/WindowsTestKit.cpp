#include "WindowsTestKit.h"

#include "platform/Module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace velmora::testing {

namespace fs = std::filesystem;

TScratchFolder::TScratchFolder(std::wstring_view stem) {
    static std::atomic<int> count{0};
    fs::path folder = fs::temp_directory_path() /
                      Format(L"%s-%d-%d", stem, static_cast<int>(GetCurrentProcessId()), ++count);
    fs::create_directories(folder);
    FPath = folder.wstring() + L"\\";
}

TScratchFolder::~TScratchFolder() {
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
}

std::wstring TScratchFolder::WriteFile(std::wstring_view name, size_t size) const {
    std::wstring path = FPath + std::wstring(name);
    std::ofstream(fs::path(path), std::ios::binary) << std::string(size, 'x');
    return path;
}

namespace {

std::wstring UniqueServiceName() {
    static std::atomic<int> count{0};
    return Format(L"VelmoraScanTest-%d-%d-%d", static_cast<int>(GetCurrentProcessId()),
                  static_cast<int>(GetTickCount()), ++count);
}

} // namespace

TTestService::TTestService(const std::wstring& path) : FName(UniqueServiceName()) {
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
