#include "RegisteredProgram.h"

#include "platform/Registry.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace velmora::testing {

namespace {

std::wstring NewClassId() {
    GUID guid{};
    CoCreateGuid(&guid);
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

TRegKey Create(TRegRoot root, const std::wstring& path) {
    return TRegKey::CreateOrThrow(RootKey(root), path, KEY_READ | KEY_WRITE, TRegView::x64);
}

} // namespace

TRegisteredProgram::TRegisteredProgram()
    : Entry(Programs.NameA, Programs.InstallA, Programs.Vendor),
      Service(L"\"" + TTwoPrograms::WriteFile(Programs.InstallA + L"a-agent.exe", 500) + L"\" -service"),
      SharedDll(TTwoPrograms::WriteFile(Programs.InstallA + L"alpha-runtime.dll", 900), 1),
      VendorKey(L"Software\\" + Programs.Vendor), RunValue(Programs.NameA), ClassId(NewClassId()),
      ProgId(Programs.Vendor + L".AlphaDocument"), Extension(L"." + LowerCase(Programs.Vendor)),
      OtherProgId(Programs.Vendor + L"Other.Document") {
    // Read-only and hidden files, as some installers leave them.
    SetFileAttributesW(Programs.ADll.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    SetFileAttributesW(Programs.RoamingAFile.c_str(), FILE_ATTRIBUTE_HIDDEN);

    const TRegKey machine = Create(TRegRoot::LocalMachine, VendorKey + L"\\Alpha");
    const BYTE blob[] = {0, 1, 2, 0xFE, 0, 0xFF};
    bool written =
        machine.WriteString(L"", L"Alpha") && machine.WriteString(L"Path", Programs.InstallA) &&
        machine.WriteExpandString(L"Data", L"%APPDATA%\\" + Programs.Vendor) &&
        machine.WriteNumber(L"Runs", 7) && machine.WriteQword(L"Installed", 0x0123456789ABCDEFull) &&
        machine.WriteBinary(L"Key", blob, sizeof(blob)) &&
        machine.WriteMultiString(L"Plugins", {L"one", L"two"}) &&
        Create(TRegRoot::LocalMachine, VendorKey + L"\\Alpha\\Settings").WriteNumber(L"Level", 3) &&
        Create(TRegRoot::CurrentUser, VendorKey + L"\\Alpha").WriteString(L"Theme", L"dark");
    written = written && Create(TRegRoot::CurrentUser, RunKey)
                             .WriteString(RunValue, L"\"" + Programs.AExe + L"\" /background");
    const TRegKey classKey = Create(TRegRoot::ClassesRoot, L"CLSID\\" + ClassId);
    written = written && classKey.WriteString(L"", L"Alpha Document") &&
              Create(TRegRoot::ClassesRoot, L"CLSID\\" + ClassId + L"\\InProcServer32")
                  .WriteString(L"", Programs.ADll) &&
              Create(TRegRoot::ClassesRoot, L"CLSID\\" + ClassId + L"\\InProcServer32")
                  .WriteString(L"ThreadingModel", L"Apartment") &&
              Create(TRegRoot::ClassesRoot, L"CLSID\\" + ClassId + L"\\ProgID").WriteString(L"", ProgId);
    written = written && Create(TRegRoot::ClassesRoot, ProgId).WriteString(L"", L"Alpha document") &&
              Create(TRegRoot::ClassesRoot, ProgId + L"\\CLSID").WriteString(L"", ClassId);
    const TRegKey extension = Create(TRegRoot::ClassesRoot, Extension);
    const TRegKey openWith = Create(TRegRoot::ClassesRoot, Extension + L"\\OpenWithProgids");
    written = written && extension.WriteString(L"", OtherProgId) &&
              openWith.WriteValue(ProgId, TRegValue{REG_NONE, {}}) &&
              openWith.WriteValue(OtherProgId, TRegValue{REG_NONE, {}});
    if (!written)
        ADD_FAILURE() << "the registration of " << Narrow(Programs.NameA) << " was not written";
}

TRegisteredProgram::~TRegisteredProgram() {
    for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser})
        DeleteKey(root, VendorKey, TRegView::x64);
    TRegKey::Open(TRegRoot::CurrentUser, RunKey, KEY_WRITE, TRegView::x64).DeleteValue(RunValue);
    for (const std::wstring& key : {L"CLSID\\" + ClassId, ProgId, Extension})
        DeleteKey(TRegRoot::ClassesRoot, key, TRegView::x64);
    SetFileAttributesW(Programs.ADll.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TMachineSnapshot TRegisteredProgram::Snapshot() const {
    TMachineSnapshot snapshot;
    for (const auto& folder : {Programs.InstallA, Programs.RoamingA, Programs.LocalA, Programs.InstallB})
        snapshot.AddFolder(folder);
    snapshot.AddService(Service.Name());
    snapshot.AddKey(TRegRoot::LocalMachine, ServicesKey + Service.Name(), TRegView::x64);
    snapshot.AddKey(TRegRoot::LocalMachine, Entry.KeyPath, TRegView::x64);
    for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser})
        snapshot.AddKey(root, VendorKey, TRegView::x64);
    snapshot.AddValue(TRegRoot::CurrentUser, RunKey, RunValue, TRegView::x64);
    for (const std::wstring& key : {L"CLSID\\" + ClassId, ProgId, Extension})
        snapshot.AddKey(TRegRoot::ClassesRoot, key, TRegView::x64);
    snapshot.AddValuesExcept(TRegRoot::LocalMachine, SharedDllsKey, TRegView::x64, {});
    return snapshot;
}

} // namespace velmora::testing
