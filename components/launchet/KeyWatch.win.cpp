#include "components/launchet/KeyWatch.h"

#include "platform/OSError.h"

namespace velmora::launchet {

TKeyWatch::TKeyWatch(HKEY root, std::wstring path)
    : FRoot(root), FPath(std::move(path)), FEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    CheckOS(static_cast<bool>(FEvent), L"CreateEvent");
}

bool TKeyWatch::Arm() {
    ResetEvent(FEvent.get());
    FKey = {};
    std::wstring path = FPath;
    for (;;) {
        FKey = TRegKey::Open(FRoot, path, KEY_NOTIFY);
        if (FKey || path.empty())
            break;
        const size_t slash = path.find_last_of(L'\\');
        path = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }
    return FKey && FKey.NotifyChange(FEvent.get(), true);
}

} // namespace velmora::launchet
