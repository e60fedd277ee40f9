#include "platform/RegistrySnapshot.h"

#include "platform/Handles.h"
#include "platform/Registry.h"
#include "platform/Thread.h"

#include <windows.h>

#include <algorithm>

namespace velmora {

namespace {

uint64_t TimeNumber(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// One walk's buffers, reused for every key. Subkeys are opened relative to
// their parent: a path opened from its root costs a request per component
// in the 32-bit view.
class TWalker {
public:
    TWalker(REGSAM view, const TRegDescend& descend) : FView(view), FDescend(descend) {}

    // Reads key's values and subkeys into node, then walks the subkeys the
    // rule admits; one that does not open stays a name and a time.
    void Walk(HKEY key, TRegKeySnapshot& node, size_t depth) {
        node.ValuesRead = ReadValues(key, node);
        node.SubKeysRead = ReadSubKeys(key, node);
        for (auto& listed : node.SubKeys) {
            if (FDescend && !FDescend(depth + 1, listed->Name))
                continue;
            TThread::CheckTerminated();
            unique_hkey subKey;
            if (RegOpenKeyExW(key, listed->Name.c_str(), 0, KEY_READ | FView, subKey.put()) != ERROR_SUCCESS)
                continue;
            auto walked = std::make_shared<TRegKeySnapshot>(*listed);
            Walk(subKey.get(), *walked, depth + 1);
            listed = std::move(walked);
        }
    }

private:
    bool ReadValues(HKEY key, TRegKeySnapshot& node) {
        for (DWORD index = 0;;) {
            DWORD nameLength = static_cast<DWORD>(FName.size());
            DWORD size = static_cast<DWORD>(FData.size());
            DWORD type = REG_NONE;
            LSTATUS status =
                RegEnumValueW(key, index, FName.data(), &nameLength, nullptr, &type, FData.data(), &size);
            if (status == ERROR_NO_MORE_ITEMS)
                return true;
            if (status == ERROR_MORE_DATA && size > FData.size()) {
                FData.resize(size);
                continue;
            }
            if (status != ERROR_SUCCESS)
                return false;
            node.Values.push_back({std::wstring(FName.data(), nameLength), type,
                                   std::vector<uint8_t>(FData.begin(), FData.begin() + size)});
            ++index;
        }
    }

    bool ReadSubKeys(HKEY key, TRegKeySnapshot& node) {
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = static_cast<DWORD>(FName.size());
            FILETIME written{};
            LSTATUS status =
                RegEnumKeyExW(key, index, FName.data(), &nameLength, nullptr, nullptr, nullptr, &written);
            if (status == ERROR_NO_MORE_ITEMS)
                return true;
            if (status != ERROR_SUCCESS)
                return false;
            auto listed = std::make_shared<TRegKeySnapshot>();
            listed->Name.assign(FName.data(), nameLength);
            listed->LastWriteTime = TimeNumber(written);
            node.SubKeys.push_back(std::move(listed));
        }
    }

    const REGSAM FView;
    const TRegDescend& FDescend;
    // Value names have at most 16383 characters; data grows as needed.
    std::vector<wchar_t> FName = std::vector<wchar_t>(16384);
    std::vector<BYTE> FData = std::vector<BYTE>(4096);
};

} // namespace

std::shared_ptr<const TRegKeySnapshot> WalkRegistryKey(const TRegistryKey& key, const TRegDescend& descend) {
    TRegKey place = TRegKey::Open(key);
    if (!place)
        return nullptr;
    auto node = std::make_shared<TRegKeySnapshot>();
    std::wstring_view path = key.Path;
    while (!path.empty() && path.back() == L'\\')
        path.remove_suffix(1);
    node->Name = std::wstring(path.substr(path.find_last_of(L'\\') + 1));
    if (auto time = place.LastWriteTime())
        node->LastWriteTime = TimeNumber(*time);
    TWalker(ViewAccess(key.View), descend).Walk(place.Handle(), *node, 0);
    return node;
}

} // namespace velmora
