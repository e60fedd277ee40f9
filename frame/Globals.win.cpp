#include "frame/Globals.h"

#include "platform/LibraryLoader.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

namespace velmora {

namespace {

std::recursive_mutex& GlobalsMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

// The cached interface holds one reference; the atomic lets readers skip the
// lock once it is set.
std::atomic<ITrustika*> CachedTrustika{nullptr};

std::wstring LocaleInfo(LCID lcid) {
    int size = GetLocaleInfoW(lcid, LOCALE_SLANGUAGE, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring name(static_cast<size_t>(size), L'\0');
    size = GetLocaleInfoW(lcid, LOCALE_SLANGUAGE, name.data(), size);
    name.resize(size > 0 ? static_cast<size_t>(size) - 1 : 0);
    return name;
}

// GetLocaleInfoEx appeared with Windows Vista; the library must still load
// where it is missing, so it is looked up at run time.
using GetLocaleInfoExFn = int(WINAPI*)(LPCWSTR, LCTYPE, LPWSTR, int);

GetLocaleInfoExFn LocaleInfoEx() {
    static const GetLocaleInfoExFn fn = ModuleFunction<GetLocaleInfoExFn>(L"kernel32.dll", "GetLocaleInfoEx");
    return fn;
}

} // namespace

std::wstring DLLGlobals::LocaleIDToString(uint32_t lcid) {
    return LocaleInfo(lcid);
}

std::wstring DLLGlobals::LocaleIDToString(std::wstring_view localeName) {
    std::wstring name(localeName);
    GetLocaleInfoExFn getInfo = IsWindowsVistaOrLater() ? LocaleInfoEx() : nullptr;
    if (!getInfo || name.empty())
        return name;
    int size = getInfo(name.c_str(), LOCALE_SLANGUAGE, nullptr, 0);
    if (size <= 1)
        return name;
    std::wstring language(static_cast<size_t>(size), L'\0');
    size = getInfo(name.c_str(), LOCALE_SLANGUAGE, language.data(), size);
    if (size <= 1)
        return name;
    language.resize(static_cast<size_t>(size) - 1);
    return language;
}

std::wstring DLLGlobals::LocaleIDListToString(std::span<const uint32_t> lcids) {
    std::wstring names;
    for (uint32_t lcid : lcids) {
        std::wstring name = LocaleIDToString(lcid);
        // An unknown locale has no name to show; it leaves no empty slot.
        if (name.empty())
            continue;
        if (!names.empty())
            names += L", ";
        names += name;
    }
    return names;
}

TComPtr<ITrustika> DLLGlobals::GetTrustika() {
    // Check, lock, check again: the reading thread and the job-queue workers
    // may ask at once, and only one of them loads the component.
    if (!CachedTrustika.load(std::memory_order_acquire)) {
        std::lock_guard lock(GlobalsMutex());
        if (!CachedTrustika.load(std::memory_order_relaxed)) {
            void* instance = nullptr;
            if (DllRoutines::GetInstance(L"TrustikaHelper.dll", __uuidof(ITrustika), &instance) && instance)
                CachedTrustika.store(static_cast<ITrustika*>(instance), std::memory_order_release);
        }
        if (!CachedTrustika.load(std::memory_order_relaxed))
            throw std::runtime_error("Unable to get trustika");
    }
    return TComPtr<ITrustika>(CachedTrustika.load(std::memory_order_acquire));
}

void DLLGlobals::FinalizeInterfaces() {
    std::lock_guard lock(GlobalsMutex());
    if (ITrustika* trustika = CachedTrustika.exchange(nullptr))
        trustika->Release();
}

void DLLGlobals::Lock() {
    GlobalsMutex().lock();
}

void DLLGlobals::Unlock() {
    GlobalsMutex().unlock();
}

} // namespace velmora
