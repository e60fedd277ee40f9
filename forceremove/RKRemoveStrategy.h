#pragma once
// The remove strategy that makes every change through the backup component,
// inside one backup set, so that the removal can be undone (Windows).
#include "forceremove/RegistryRemoveStrategy.h"

namespace velmora {

class TRKRemoveStrategy : public TRegistryRemoveStrategy {
public:
    // Opens the backup set "Velmora: Deleting entry for "<product>"";
    // raises EOSError when the component refuses it.
    TRKRemoveStrategy(const std::wstring& productName, TComPtr<IRekova> rekova);
    // Closes the backup set as successful.
    ~TRKRemoveStrategy() override;

    // Raise EOSError with the component's or the system's message.
    void RemoveDir(const std::wstring& path) override;
    void RemoveFile(const std::wstring& path) override;
    void RemoveService(const std::wstring& name) override;
    uint32_t FileGetAttr(const std::wstring& path) override;
    void FileSetAttr(const std::wstring& path, uint32_t attributes) override;

private:
    TComPtr<IFileAccess> Files() const;

    TComPtr<IRekova> FRekova;
    TComPtr<IServiceAccess> FSvc;
    std::wstring FProductName;
};

} // namespace velmora
