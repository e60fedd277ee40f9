#pragma once
// The rows of a product's cached package that the forced removal needs: files,
// registry rows, shortcuts, file extensions and upgrade codes. Each enumerator
// opens and executes its query on the first Next; its handles (its own handle
// of the package database, the view, the current record) live on the
// installer thread and are closed there when the enumerator is freed.
#include "msi/MsiHandle.h"
#include "msi/MsiRules.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

class TInstallerThread;
class TMsiDirs;
class TMsiProduct;

class TMsiEnumerator {
public:
    virtual ~TMsiEnumerator();
    TMsiEnumerator(const TMsiEnumerator&) = delete;
    TMsiEnumerator& operator=(const TMsiEnumerator&) = delete;

    // Fetches the next row there is to report and fills the current fields;
    // false when the rows have run out.
    bool Next();

protected:
    // product keeps the directory cache alive.
    TMsiEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database, std::wstring_view query);

    // On the installer thread: fills the current fields from FRecord; false
    // passes over the row.
    virtual bool ReadRecord() = 0;
    std::wstring GetString(unsigned field) const;
    int GetInteger(unsigned field) const;
    // A view of the query, executed (on the installer thread).
    unique_msihandle OpenQuery() const;
    TInstallerThread& Thread() const { return *FThread; }

    unique_msihandle FDatabase;
    unique_msihandle FView;
    unique_msihandle FRecord;

private:
    std::shared_ptr<TMsiProduct> FProduct;
    std::shared_ptr<TInstallerThread> FThread;
    std::wstring_view FQuery;
    bool FEnded = false; // a view fetched past its end may start over
};

class TMsiFileEnumerator : public TMsiEnumerator {
public:
    static constexpr std::wstring_view Query =
        L"SELECT File.FileName, Component.Directory_, Component.ComponentId FROM File, Component WHERE "
        L"File.Component_ = Component.Component";

    TMsiFileEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database, TMsiDirs* dirs);

    // Full path of the current file: its folder's target and its long name.
    const std::wstring& Current() const { return FCurrent; }
    // The component's code (a braced GUID); empty for a component the
    // installer does not register.
    const std::wstring& CurrentComponent() const { return FCurrentComponent; }
    // Number of rows, counted by a run of its own the first time it is asked.
    int32_t Count();

private:
    bool ReadRecord() override;

    TMsiDirs* FDirs; // owned by the product
    int32_t FCount = -1;
    std::wstring FCurrent;
    std::wstring FCurrentComponent;
};

class TMsiRegKeyEnumerator : public TMsiEnumerator {
public:
    static constexpr std::wstring_view Query =
        L"SELECT `Registry`.`Root`, `Registry`.`Key`, `Registry`.`Name`, `Component`.`Attributes` FROM "
        L"`Registry`, `Component` WHERE `Registry`.`Component_` = `Component`.`Component`";

    TMsiRegKeyEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database);

    HKEY CurrentRoot() const { return FCurrentRoot; }
    const std::wstring& CurrentKey() const { return FCurrentKey; }
    // Empty for a whole-key row.
    const std::wstring& CurrentValueName() const { return FCurrentValueName; }
    // The row stands for the whole key.
    bool Recursive() const { return FRecursive; }
    // The row's component is a 64-bit one: on 64-bit Windows its rows are in
    // the 64-bit view, a 32-bit component's in the 32-bit one.
    bool Is64Bit() const { return FIs64Bit; }

private:
    bool ReadRecord() override;

    std::wstring FCurrentValueName;
    std::wstring FCurrentKey;
    HKEY FCurrentRoot = nullptr;
    bool FRecursive = false;
    bool FIs64Bit = false;
};

class TMsiShortcutEnumerator : public TMsiEnumerator {
public:
    static constexpr std::wstring_view Query = L"SELECT `Name`, `Directory_` FROM `Shortcut`";

    TMsiShortcutEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database, TMsiDirs* dirs);

    // Full path of the shortcut file (".lnk").
    const std::wstring& CurrentPath() const { return FCurrentPath; }

private:
    bool ReadRecord() override;

    TMsiDirs* FDirs; // owned by the product
    std::wstring FCurrentPath;
};

class TMsiExtensionEnumerator : public TMsiEnumerator {
public:
    static constexpr std::wstring_view Query = L"SELECT `Extension`, `ProgId_`, `MIME_` FROM `Extension`";

    TMsiExtensionEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database);

    // Without the dot.
    const std::wstring& CurrentExtension() const { return FCurrentExtension; }
    const std::wstring& CurrentMime() const { return FCurrentMime; }
    const std::wstring& CurrentProgID() const { return FCurrentProgID; }

private:
    bool ReadRecord() override;

    std::wstring FCurrentExtension;
    std::wstring FCurrentMime;
    std::wstring FCurrentProgID;
};

class TMsiUpgradeEnumerator : public TMsiEnumerator {
public:
    static constexpr std::wstring_view Query = L"SELECT DISTINCT `UpgradeCode` FROM `Upgrade`";

    TMsiUpgradeEnumerator(std::shared_ptr<TMsiProduct> product, unique_msihandle database);

    // Packed form, as named under the installer's "UpgradeCodes" keys.
    const std::wstring& CurrentCode() const { return FCurrentCode; }

private:
    bool ReadRecord() override;

    std::wstring FCurrentCode;
};

} // namespace velmora
