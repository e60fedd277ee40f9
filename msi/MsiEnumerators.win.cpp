#include "msi/MsiEnumerators.h"

#include "msi/MsiEngine.h"
#include "msi/MsiString.h"

#include <msidefs.h>

namespace velmora {

namespace {
HKEY RootKey(TMsiRegistryRoot root) {
    switch (root) {
    case TMsiRegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case TMsiRegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case TMsiRegistryRoot::Users:
        return HKEY_USERS;
    case TMsiRegistryRoot::LocalMachine:
        break;
    }
    return HKEY_LOCAL_MACHINE;
}
} // namespace

// --- TMsiEnumerator

TMsiEnumerator::TMsiEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database,
                               std::wstring_view query)
    : FDatabase(std::move(database)), FProduct(std::move(product)), FThread(FProduct->FThread),
      FQuery(query) {}

TMsiEnumerator::~TMsiEnumerator() {
    bool closed = FThread->TryRun([this] {
        FRecord.reset();
        FView.reset();
        FDatabase.reset();
    });
    if (!closed) {
        // The engine was freed and closed them with all its handles.
        FRecord.release();
        FView.release();
        FDatabase.release();
    }
}

unique_msihandle TMsiEnumerator::OpenQuery() const {
    MSIHANDLE handle = 0;
    CheckMsi(MsiDatabaseOpenViewW(FDatabase.get(), std::wstring(FQuery).c_str(), &handle), SMsiOpenView);
    unique_msihandle view(handle);
    CheckMsi(MsiViewExecute(view.get(), 0), SMsiExecuteView);
    return view;
}

bool TMsiEnumerator::Next() {
    return FThread->Run([this] {
        if (FEnded)
            return false;
        if (!FView)
            FView = OpenQuery();
        for (;;) {
            MSIHANDLE record = 0;
            UINT result = MsiViewFetch(FView.get(), &record);
            FRecord.reset(record);
            CheckMsi(result, SMsiFetch);
            if (result == ERROR_NO_MORE_ITEMS) {
                FEnded = true;
                return false;
            }
            if (ReadRecord())
                return true;
        }
    });
}

std::wstring TMsiEnumerator::GetString(unsigned field) const {
    std::wstring text;
    CheckMsi(ReadMsiString(text,
                           [&](wchar_t* buffer, DWORD* size) {
                               return MsiRecordGetStringW(FRecord.get(), field, buffer, size);
                           }),
             SMsiGetRecordString);
    return text;
}

int TMsiEnumerator::GetInteger(unsigned field) const {
    return MsiRecordGetInteger(FRecord.get(), field);
}

// --- the five queries

TMsiFileEnumerator::TMsiFileEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database,
                                       TMsiDirs* dirs)
    : TMsiEnumerator(std::move(product), std::move(database), Query), FDirs(dirs) {}

bool TMsiFileEnumerator::ReadRecord() {
    FCurrent = FDirs->GetTarget(GetString(2)) + MsiLongName(GetString(1));
    FCurrentComponent = GetString(3);
    return true;
}

int32_t TMsiFileEnumerator::Count() {
    if (FCount < 0)
        FCount = Thread().Run([this] {
            auto view = OpenQuery();
            int32_t count = 0;
            for (;;) {
                MSIHANDLE handle = 0;
                UINT result = MsiViewFetch(view.get(), &handle);
                unique_msihandle record(handle);
                CheckMsi(result, SMsiFetch);
                if (result == ERROR_NO_MORE_ITEMS)
                    return count;
                ++count;
            }
        });
    return FCount;
}

TMsiRegKeyEnumerator::TMsiRegKeyEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database)
    : TMsiEnumerator(std::move(product), std::move(database), Query) {}

bool TMsiRegKeyEnumerator::ReadRecord() {
    auto name = MsiRegistryName(GetString(3));
    if (!name)
        return false;
    FCurrentRoot = RootKey(MsiRegistryRoot(GetInteger(1)));
    FCurrentKey = GetString(2);
    FCurrentValueName = std::move(name->ValueName);
    FRecursive = name->Recursive;
    FIs64Bit = (GetInteger(4) & msidbComponentAttributes64bit) != 0;
    return true;
}

TMsiShortcutEnumerator::TMsiShortcutEnumerator(std::shared_ptr<TMsiProduct> product,
                                               unique_msihandle database, TMsiDirs* dirs)
    : TMsiEnumerator(std::move(product), std::move(database), Query), FDirs(dirs) {}

bool TMsiShortcutEnumerator::ReadRecord() {
    FCurrentPath = FDirs->GetTarget(GetString(2)) + MsiLongName(GetString(1)) + L".lnk";
    return true;
}

TMsiExtensionEnumerator::TMsiExtensionEnumerator(std::shared_ptr<TMsiProduct> product,
                                                 unique_msihandle database)
    : TMsiEnumerator(std::move(product), std::move(database), Query) {}

bool TMsiExtensionEnumerator::ReadRecord() {
    FCurrentExtension = GetString(1);
    FCurrentProgID = GetString(2);
    FCurrentMime = GetString(3);
    return true;
}

TMsiUpgradeEnumerator::TMsiUpgradeEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database)
    : TMsiEnumerator(std::move(product), std::move(database), Query) {}

bool TMsiUpgradeEnumerator::ReadRecord() {
    FCurrentCode = PackedUpgradeCode(GetString(1));
    return true;
}

} // namespace velmora
