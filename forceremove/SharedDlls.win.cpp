#include "forceremove/SharedDlls.h"

#include "platform/Registry.h"

namespace velmora {

namespace {

class TSystemSharedDllCounts : public TSharedDllCounts {
public:
    std::vector<std::wstring> Paths() const override { return Open().ValueNames().ToVector(); }
    std::optional<int64_t> Count(const std::wstring& path) const override {
        auto count = Open().ReadNumber(path);
        return count ? std::optional<int64_t>(*count) : std::nullopt;
    }

private:
    static TRegKey Open() {
        return TRegKey::Open(TRegRoot::LocalMachine, TFRSharedDlls::KeyPath, KEY_READ, TRegView::x64);
    }
};

} // namespace

std::unique_ptr<TSharedDllCounts> SystemSharedDllCounts() {
    return std::make_unique<TSystemSharedDllCounts>();
}

} // namespace velmora
