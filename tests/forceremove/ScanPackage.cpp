#include "ScanPackage.h"

#include "tests/msi/MsiTestKit.h"

#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Paths.h"

#include <msiquery.h>
#include <shlobj.h>

#include <stdexcept>

namespace velmora::testing {

namespace {

// A failed step of msi.dll, named.
void Check(UINT code, const wchar_t* step) {
    if (code != ERROR_SUCCESS)
        throw std::runtime_error(Narrow(Format(L"%s failed: %d", step, static_cast<int>(code))));
}

struct TMsiHandleCloser {
    MSIHANDLE Handle = 0;
    ~TMsiHandleCloser() {
        if (Handle)
            MsiCloseHandle(Handle);
    }
};

void RunSql(MSIHANDLE database, const wchar_t* sql) {
    TMsiHandleCloser view;
    Check(MsiDatabaseOpenViewW(database, sql, &view.Handle), sql);
    Check(MsiViewExecute(view.Handle, 0), sql);
}

void AddFileType(const std::wstring& path) {
    TMsiHandleCloser database;
    Check(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &database.Handle), L"open package");
    RunSql(database.Handle,
           L"CREATE TABLE `ProgId` (`ProgId` CHAR(255) NOT NULL, `ProgId_Parent` CHAR(255), "
           L"`Class_` CHAR(38), `Description` CHAR(255), `Icon_` CHAR(72), `IconIndex` SHORT "
           L"PRIMARY KEY `ProgId`)");
    RunSql(database.Handle, L"INSERT INTO `ProgId` (`ProgId`, `Description`) "
                            L"VALUES ('VelmoraScanTest.Document', 'Scan test document')");
    RunSql(database.Handle,
           L"CREATE TABLE `Extension` (`Extension` CHAR(255) NOT NULL, `Component_` CHAR(72) "
           L"NOT NULL, `ProgId_` CHAR(255), `MIME_` CHAR(64), `Feature_` CHAR(38) NOT NULL "
           L"PRIMARY KEY `Extension`, `Component_`)");
    RunSql(database.Handle, L"INSERT INTO `Extension` (`Extension`, `Component_`, `ProgId_`, `Feature_`) "
                            L"VALUES ('vscan', 'ScanFiles', 'VelmoraScanTest.Document', 'Complete')");
    Check(MsiDatabaseCommit(database.Handle), L"commit package");
}

} // namespace

std::wstring ScanInstallDir() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\" + ScanProductName + L"\\";
}

std::wstring InstallScanPackage() {
    UninstallScanPackage();
    const auto completed =
        Format(L"%sVelmoraScanTest-%d.msi", TempFolder(), static_cast<int>(GetCurrentProcessId()));
    std::wstring failure;
    try {
        if (!CopyFileW((ThisModuleFolder() + L"VelmoraScanTest.msi").c_str(), completed.c_str(), FALSE))
            failure = L"VelmoraScanTest.msi missing next to the test";
        else {
            AddFileType(completed);
            if (intptr_t code = RunMsiexec(L"/i", completed))
                failure = Format(L"msiexec /i %s answered %d", completed, static_cast<int>(code));
        }
    } catch (const std::exception& e) {
        failure = L"Completing the package failed: " + Widen(e.what());
    }
    DeleteFileW(completed.c_str());
    return failure;
}

void UninstallScanPackage() {
    Uninstall(ScanProductCode);
}

} // namespace velmora::testing
