#include "forceremove/RemovalSystem.h"

#include "forceremove/AppFiles.h"
#include "forceremove/AppRegData.h"
#include "forceremove/Autorun.h"
#include "forceremove/ExtData.h"
#include "forceremove/FileUnlocker.h"
#include "forceremove/Msi.h"
#include "forceremove/RKRemoveStrategy.h"
#include "forceremove/RegistrySource.h"
#include "forceremove/Services.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SharedFolders.h"
#include "forceremove/Shortcuts.h"
#include "forceremove/SimpleRemoveStrategy.h"
#include "platform/Handles.h"
#include "platform/LibraryLoader.h"
#include "platform/OSError.h"
#include "platform/OSInfo.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/RekovaSettings.h"

namespace velmora {

namespace {

constexpr wchar_t BackupComponent[] = L"RekovaHelper.dll";

// Hands the backup component's store-full question to the worker. The
// worker's wait may end by termination, which must not unwind through the
// component: the change is then refused.
class TFreeSpaceCallback : public TInterfacedObject<IRekovaFreeSpaceCallback> {
public:
    explicit TFreeSpaceCallback(std::function<bool()> storeFull) : FStoreFull(std::move(storeFull)) {}

    HRESULT STDMETHODCALLTYPE OnStoreFull(int32_t, bool* SkipBackup) override {
        if (!SkipBackup)
            return E_POINTER;
        *SkipBackup = false;
        try {
            *SkipBackup = FStoreFull();
        } catch (...) {
            return E_ABORT;
        }
        return S_OK;
    }

private:
    std::function<bool()> FStoreFull;
};

class TWindowsRemovalSystem : public TRemovalSystem {
public:
    bool Is64BitWindows() override { return velmora::Is64BitWindows(); }
    std::wstring WindowsFolder() override { return velmora::WindowsFolder(); }
    const TSharedFolders& SharedFolders() override { return FSharedFolders; }
    std::unique_ptr<TSharedDllCounts> SharedDllCounts() override { return SystemSharedDllCounts(); }

    std::vector<std::wstring> OtherInstallLocations(const TFRProduct& product) override {
        return velmora::OtherInstallLocations(product.RegistryKeys);
    }

    std::wstring PreparePath(const std::wstring& path) override {
        return PrepareFileName(path, EnvironmentVariable);
    }

    // The installer-data scanner first, when the installer knows the product:
    // the files it names are then known to the others. Each later scanner
    // sees what the earlier ones found (the file list, the data folders):
    // the registry scanners, which test keys named after the program's files,
    // run after the file scan; the AppID scanner after the class scanner.
    std::vector<std::unique_ptr<IFRTask>> Scanners(const TFRProduct& product, const TFRScanLists& lists,
                                                   TWorkflowCheck check) override {
        std::vector<std::unique_ptr<IFRTask>> scanners;
        auto msi = std::make_unique<TFRMsi>(product.ProductCode, check, lists.DataFileList, lists.FileList,
                                            lists.ShortcutList, lists.RegList, FSharedFolders);
        if (msi->CanProcess())
            scanners.push_back(std::move(msi));
        scanners.push_back(std::make_unique<TFRAppFiles>(lists.AppFolders, lists.FileList, check,
                                                         product.DisplayName, lists.DataFileList,
                                                         FSharedFolders));
        const TRegistrySource& registry = SystemRegistrySource();
        scanners.push_back(std::make_unique<TFRExtData>(lists.RegList, lists.FileList, lists.AppFolders,
                                                        lists.AppIDs, check, lists.CLSIDs, registry));
        scanners.push_back(std::make_unique<TFRAppRegData>(lists.FileList, lists.RegList, product.DisplayName,
                                                           product.Publisher, lists.AppIDs, check,
                                                           lists.AppFolders, registry));
        scanners.push_back(
            std::make_unique<TFRShortcuts>(lists.AppFolders, lists.FileList, lists.ShortcutList, check));
        scanners.push_back(std::make_unique<TFRAutorun>(lists.AppFolders, lists.RegList, registry));
        scanners.push_back(std::make_unique<TFRServices>(lists.AppFolders, lists.SvcList));
        return scanners;
    }

    std::unique_ptr<IRemoveStrategy> Strategy() override { return std::make_unique<TSimpleRemoveStrategy>(); }

    bool BackupEnabled() override { return RekovaSettings::IsBackupEnabled(RekovaSettings::VelmoraToolName); }

    std::unique_ptr<IRemoveStrategy> BackedUpStrategy(const std::wstring& productName,
                                                      std::function<bool()> storeFull) override {
        TComPtr<IRekova> rekova;
        if (!DllRoutines::GetInstance(BackupComponent, __uuidof(IRekova),
                                      reinterpret_cast<void**>(rekova.put())))
            throw EOSError(L"Unable to get the backup component RekovaHelper.dll",
                           static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
        rekova->SetFreeSpaceCallback(
            MakeCom<TFreeSpaceCallback, IRekovaFreeSpaceCallback>(std::move(storeFull)).get());
        return std::make_unique<TRKRemoveStrategy>(productName, std::move(rekova));
    }

    void UnlockFiles(const TAppFolders& folders) override { TFileUnlocker(folders).Execute(); }

    bool OpensExclusively(const std::wstring& path) override {
        unique_file file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file);
    }

private:
    const TSharedFolders FSharedFolders = SystemSharedFolders();
};

} // namespace

std::unique_ptr<TRemovalSystem> WindowsRemovalSystem() {
    return std::make_unique<TWindowsRemovalSystem>();
}

} // namespace velmora
