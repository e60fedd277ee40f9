#include "msi/MsiEngine.h"

#include "msi/MsiString.h"
#include "platform/Format.h"
#include "platform/Text.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace velmora {

// --- TMsiDirs

void TMsiDirs::SetProduct(MSIHANDLE product) {
    FProduct = product;
    FTargets.clear();
}

const std::wstring& TMsiDirs::GetTarget(const std::wstring& directory) {
    if (auto found = FTargets.find(directory); found != FTargets.end())
        return found->second;
    std::wstring path;
    CheckMsi(ReadMsiString(path,
                           [&](wchar_t* buffer, DWORD* size) {
                               return MsiGetTargetPathW(FProduct, directory.c_str(), buffer, size);
                           }),
             SMsiGetTargetPath);
    return FTargets.emplace(directory, std::move(path)).first->second;
}

namespace {

std::mutex GNoticeLock;
TMsiEngine::TNoticeSink GNoticeSink;
std::atomic<bool> GSessionFallbackNoted{false};

void Notice(const std::wstring& text) {
    TMsiEngine::TNoticeSink sink;
    {
        std::lock_guard lock(GNoticeLock);
        sink = GNoticeSink;
    }
    if (sink)
        sink(text);
}

// Once per engine: the refusal is a property of the installer, not of one package.
void NoteSessionFallback(const std::wstring& package, UINT error) {
    if (GSessionFallbackNoted.exchange(true))
        return;
    Notice(Format(L"The installer refused to open the cached package \"%s\" read-only while its product "
                  L"is open (error %d): packages of open products are read through their installer session",
                  package, static_cast<int>(error)));
}

} // namespace

// --- TMsiProduct

TMsiProduct::TMsiProduct(std::shared_ptr<TInstallerThread> thread, std::wstring code)
    : FThread(std::move(thread)), FCode(std::move(code)) {}

TMsiProduct::~TMsiProduct() {
    bool closed = FThread->TryRun([this] {
        FDirs.SetProduct(0);
        FProduct.reset();
    });
    if (!closed)
        FProduct.release(); // the engine was freed and closed it with all its handles
}

void TMsiProduct::DoOpenProduct() {
    if (FProduct)
        return;
    MSIHANDLE product = 0;
    CheckMsi(MsiOpenProductW(FCode.c_str(), &product), SMsiOpenProduct);
    FProduct.reset(product);
    FDirs.SetProduct(product);
}

unique_msihandle TMsiProduct::DoOpenDatabase() {
    const std::wstring package = LocalPackage();
    MSIHANDLE database = 0;
    const UINT result = MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database);
    if (result == ERROR_SUCCESS)
        return unique_msihandle(database);
    if (FProduct) {
        if (unique_msihandle session{MsiGetActiveDatabase(FProduct.get())}) {
            NoteSessionFallback(package, result);
            return session;
        }
    }
    throw EMsiError(SMsiOpenDatabase, result);
}

template <class TEnumerator, class... Args>
std::unique_ptr<TEnumerator> TMsiProduct::StartEnumerator(bool openProduct, Args... args) {
    // Created on the installer thread: the database handle never leaves it.
    return FThread->Run([&] {
        if (openProduct)
            DoOpenProduct();
        return std::make_unique<TEnumerator>(shared_from_this(), DoOpenDatabase(), args...);
    });
}

void TMsiProduct::OpenProduct() {
    FThread->Run([this] { DoOpenProduct(); });
}

void TMsiProduct::CloseProduct() {
    FThread->Run([this] {
        FDirs.SetProduct(0);
        FProduct.reset();
    });
}

bool TMsiProduct::IsOpen() {
    return FThread->Run([this] { return static_cast<bool>(FProduct); });
}

void TMsiProduct::CostFiles() {
    FThread->Run([this] {
        for (auto action : {L"CostInitialize", L"FileCost", L"CostFinalize"})
            CheckMsi(MsiDoActionW(FProduct.get(), action), SMsiCostFiles);
        // Targets resolved before costing are not the installed folders.
        FDirs.SetProduct(FProduct.get());
    });
}

std::wstring TMsiProduct::GetProperty(std::wstring_view name) const {
    // Handle-free and thread-safe in the installer: no need to queue behind a
    // costing. An unknown property and a failed read both mean "no value".
    std::wstring value;
    std::wstring property(name);
    ReadMsiString(value, [&](wchar_t* buffer, DWORD* size) {
        return MsiGetProductInfoW(FCode.c_str(), property.c_str(), buffer, size);
    });
    return value;
}

std::unique_ptr<TMsiFileEnumerator> TMsiProduct::EnumFiles() {
    return StartEnumerator<TMsiFileEnumerator>(true, &FDirs);
}

std::unique_ptr<TMsiShortcutEnumerator> TMsiProduct::EnumShortcuts() {
    return StartEnumerator<TMsiShortcutEnumerator>(true, &FDirs);
}

std::unique_ptr<TMsiExtensionEnumerator> TMsiProduct::EnumExtensions() {
    return StartEnumerator<TMsiExtensionEnumerator>(true);
}

std::unique_ptr<TMsiUpgradeEnumerator> TMsiProduct::EnumUpgrades() {
    return StartEnumerator<TMsiUpgradeEnumerator>(true);
}

std::unique_ptr<TMsiRegKeyEnumerator> TMsiProduct::EnumRegKeys() {
    return StartEnumerator<TMsiRegKeyEnumerator>(false);
}

// --- TMsiEngine

namespace {
std::mutex GInstanceLock;
TMsiEngine* GInstance = nullptr;
} // namespace

TMsiEngine& TMsiEngine::Instance() {
    std::lock_guard lock(GInstanceLock);
    if (!GInstance)
        GInstance = new TMsiEngine;
    return *GInstance;
}

void TMsiEngine::FreeInstance() {
    std::lock_guard lock(GInstanceLock);
    delete std::exchange(GInstance, nullptr);
    GSessionFallbackNoted = false;
}

TMsiEngine::TMsiEngine() : FThread(std::make_shared<TInstallerThread>()) {
    // Process-wide: no installer call of ours may show a window.
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
}

TMsiEngine::~TMsiEngine() {
    std::lock_guard lock(FLock);
    FThread->Stop([this] {
        FProducts.clear();
        // Also what products and enumerators still held elsewhere have open:
        // all of it was opened on this thread.
        MsiCloseAllHandles();
    });
}

void TMsiEngine::Refresh() {
    std::lock_guard lock(FLock);
    DoRefresh();
}

void TMsiEngine::RefreshIfNeeded() {
    std::lock_guard lock(FLock);
    if (FProducts.empty())
        DoRefresh();
}

void TMsiEngine::DoRefresh() {
    // A product still installed keeps its object, and with it an open
    // installer session that a holder may be using: a second session of the
    // same package can be refused (Wine does).
    auto previous = std::exchange(FProducts, {});
    wchar_t code[261];
    // One thread runs the whole enumeration, as the installer asks.
    for (DWORD index = 0; MsiEnumProductsW(index, code) == ERROR_SUCCESS; ++index) {
        auto known = std::find_if(previous.begin(), previous.end(),
                                  [&](const auto& product) { return product && product->Code() == code; });
        FProducts.push_back(known != previous.end() ? std::move(*known)
                                                    : std::make_shared<TMsiProduct>(FThread, code));
    }
}

std::shared_ptr<TMsiProduct> TMsiEngine::ProductByGUID(std::wstring_view code) {
    std::lock_guard lock(FLock);
    return DoProductByGUID(code);
}

std::shared_ptr<TMsiProduct> TMsiEngine::DoProductByGUID(std::wstring_view code) {
    auto found = std::find_if(FProducts.begin(), FProducts.end(),
                              [&](const auto& product) { return SameText(product->Code(), code); });
    return found == FProducts.end() ? nullptr : *found;
}

std::shared_ptr<TMsiProduct> TMsiEngine::FindProduct(std::wstring_view code) {
    std::lock_guard lock(FLock);
    if (auto listed = DoProductByGUID(code))
        return listed;
    // Only a product the enumeration would list is worth reading the list for:
    // another user's product (absent here) and unknown codes are not.
    const std::wstring text(code);
    const INSTALLSTATE state = MsiQueryProductStateW(text.c_str());
    if (state != INSTALLSTATE_DEFAULT && state != INSTALLSTATE_ADVERTISED)
        return nullptr;
    DoRefresh();
    return DoProductByGUID(code);
}

void TMsiEngine::SetNoticeSink(TNoticeSink sink) {
    std::lock_guard lock(GNoticeLock);
    std::swap(GNoticeSink, sink);
}

std::shared_ptr<TMsiProduct> TMsiEngine::GetProduct(int32_t index) {
    std::lock_guard lock(FLock);
    if (index < 0 || static_cast<size_t>(index) >= FProducts.size())
        return nullptr;
    return FProducts[index];
}

int32_t TMsiEngine::Count() {
    std::lock_guard lock(FLock);
    return static_cast<int32_t>(FProducts.size());
}

std::shared_ptr<TMsiProduct> TMsiEngine::CreateProduct(std::wstring code) {
    return std::make_shared<TMsiProduct>(FThread, std::move(code));
}

// Handle-free: runs on the caller's thread.
std::optional<std::vector<std::wstring>> TMsiEngine::ComponentClients(const std::wstring& componentCode) {
    std::vector<std::wstring> clients;
    for (DWORD index = 0;; ++index) {
        wchar_t product[39] = {};
        switch (MsiEnumClientsW(componentCode.c_str(), index, product)) {
        case ERROR_SUCCESS:
            clients.emplace_back(product);
            break;
        case ERROR_NO_MORE_ITEMS:
        case ERROR_UNKNOWN_COMPONENT:
            return clients;
        default:
            return std::nullopt;
        }
    }
}

} // namespace velmora
