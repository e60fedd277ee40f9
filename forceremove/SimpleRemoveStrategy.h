#pragma once
// The remove strategy that changes the system directly (Windows).
#include "forceremove/RegistryRemoveStrategy.h"
#include "platform/Handles.h"

namespace velmora {

class TSimpleRemoveStrategy : public TRegistryRemoveStrategy {
public:
    // Opens the service manager; raises EOSError when it cannot, and no strategy exists.
    TSimpleRemoveStrategy();

    // Raise EOSError with the system's message.
    void RemoveDir(const std::wstring& path) override;
    void RemoveFile(const std::wstring& path) override;
    void RemoveService(const std::wstring& name) override;
    // The entry's own attributes: deleting a link deletes the link, so its
    // bits are the ones that matter.
    uint32_t FileGetAttr(const std::wstring& path) override;
    void FileSetAttr(const std::wstring& path, uint32_t attributes) override;

private:
    unique_schandle FHandle;
};

} // namespace velmora
