#pragma once
// Read-only access to what Windows Installer knows about installed products:
// their codes, a few properties, and the rows of each product's cached package.
// The engine never changes the system.
//
// Threads: the engine is one shared instance used by the inventory's reading
// thread and by forced-removal workers. Its creation holds one lock; every
// Refresh holds the engine's lock, which also guards the product list, so a
// lookup never sees a list half read. Every call that creates, uses or closes an installer handle runs
// on the engine's installer thread (InstallerThread.h), which serialises them
// and closes each handle on the thread that created it. Handle-free calls
// (product enumeration, product properties) run on the caller's thread.
#include "msi/InstallerThread.h"
#include "msi/MsiEnumerators.h"
#include "msi/MsiError.h"
#include "msi/MsiHandle.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Directory targets of one opened product, resolved once each. Used on the
// installer thread only.
class TMsiDirs {
public:
    // The product handle targets are resolved with; a new one empties the cache.
    void SetProduct(MSIHANDLE product);
    // Target path of a Directory key, with its trailing backslash.
    const std::wstring& GetTarget(const std::wstring& directory);

private:
    std::map<std::wstring, std::wstring> FTargets; // Directory keys are case-sensitive
    MSIHANDLE FProduct = 0;
};

class TMsiProduct : public std::enable_shared_from_this<TMsiProduct> {
public:
    // Products come from TMsiEngine (its list or CreateProduct).
    TMsiProduct(std::shared_ptr<TInstallerThread> thread, std::wstring code);
    ~TMsiProduct();
    TMsiProduct(const TMsiProduct&) = delete;
    TMsiProduct& operator=(const TMsiProduct&) = delete;

    const std::wstring& Code() const { return FCode; }

    void OpenProduct();
    void CloseProduct();
    bool IsOpen();
    // Runs the costing actions; target paths are meaningful only afterwards.
    void CostFiles();

    // Product properties; empty when the installer has no value.
    std::wstring GetProperty(std::wstring_view name) const;
    std::wstring InstallLocation() const { return GetProperty(L"InstallLocation"); }
    std::wstring InstalledProductName() const { return GetProperty(L"InstalledProductName"); }
    std::wstring LocalPackage() const { return GetProperty(L"LocalPackage"); }

    // Open the product, then start an enumerator over its package.
    std::unique_ptr<TMsiFileEnumerator> EnumFiles();
    std::unique_ptr<TMsiShortcutEnumerator> EnumShortcuts();
    std::unique_ptr<TMsiExtensionEnumerator> EnumExtensions();
    std::unique_ptr<TMsiUpgradeEnumerator> EnumUpgrades();
    // Needs only the package: a closed product stays closed.
    std::unique_ptr<TMsiRegKeyEnumerator> EnumRegKeys();

private:
    friend class TMsiEnumerator;

    // On the installer thread.
    void DoOpenProduct();
    // A database handle of the cached package, opened read-only, for one
    // enumerator. An installer may keep the package of an open product open
    // for writing and refuse a second open (Wine does): then, and only for an
    // open product, the package is read through the product's installer
    // session, which holds the same tables; the first such refusal of an
    // engine's life is reported through the notice sink. Each enumerator owns
    // its handle, so closing the product never pulls a database from under one.
    unique_msihandle DoOpenDatabase();
    template <class TEnumerator, class... Args>
    std::unique_ptr<TEnumerator> StartEnumerator(bool openProduct, Args... args);

    std::shared_ptr<TInstallerThread> FThread;
    std::wstring FCode;
    unique_msihandle FProduct;
    TMsiDirs FDirs;
};

class TMsiEngine {
public:
    // The shared engine, created on first use. Creating it sets the installer's
    // user interface level to none.
    static TMsiEngine& Instance();
    // Frees the shared engine at the library's teardown: closes every handle it
    // opened and ends its thread. No engine call may be in progress; products
    // and enumerators still held afterwards raise EMsiError. A later Instance()
    // creates a new engine.
    static void FreeInstance();

    // Reads the list of installed products anew, in enumeration order. A
    // product still installed keeps its object; the others leave the list.
    void Refresh();
    // Refresh when the list is empty.
    void RefreshIfNeeded();
    // The listed product with this code (any letter case), or nullptr.
    std::shared_ptr<TMsiProduct> ProductByGUID(std::wstring_view code);
    // The listed product with this code; one the list does not hold yet is
    // asked of the installer, and when it is installed or advertised (since
    // the list was read) the list is read anew. nullptr for other codes.
    std::shared_ptr<TMsiProduct> FindProduct(std::wstring_view code);
    // The product at index in enumeration order, or nullptr out of range.
    std::shared_ptr<TMsiProduct> GetProduct(int32_t index);
    int32_t Count();
    // A product for any code, listed or not.
    std::shared_ptr<TMsiProduct> CreateProduct(std::wstring code);
    // The codes of the products the installer records as clients of a
    // component (its braced GUID); none for an unknown component, nothing
    // when the installer cannot tell.
    static std::optional<std::vector<std::wstring>> ComponentClients(const std::wstring& componentCode);

    // Where the engine reports what the log should know (the library's
    // diagnostic log); nothing is reported while unset.
    using TNoticeSink = std::function<void(const std::wstring& text)>;
    static void SetNoticeSink(TNoticeSink sink);

private:
    TMsiEngine();
    ~TMsiEngine();
    // FLock held.
    void DoRefresh();
    std::shared_ptr<TMsiProduct> DoProductByGUID(std::wstring_view code);

    std::shared_ptr<TInstallerThread> FThread;
    std::mutex FLock;
    std::vector<std::shared_ptr<TMsiProduct>> FProducts;
};

} // namespace velmora
