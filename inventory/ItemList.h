#pragma once
// Library-wide lists of items. TItemList owns its items through shared_ptr: a
// walk holds the item it is working on, so an item removed meanwhile lives
// until that step returns and is destroyed then. TItemRefList is a subset of
// an owning list that shares its lock and owns nothing.
#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace velmora {

template <class T> class TItemList {
public:
    using TItemPtr = std::shared_ptr<T>;

    TItemList() = default;
    TItemList(const TItemList&) = delete;
    TItemList& operator=(const TItemList&) = delete;
    ~TItemList() { Clear(); }

    // Re-entrant, as the walks and the locations nest their use of it.
    std::recursive_mutex& Lock() { return FLock; }

    int Count() {
        std::lock_guard lock(FLock);
        return static_cast<int>(FItems.size());
    }

    // The item at index, or nullptr when index is out of range (the list may
    // have shrunk since the caller read the count).
    TItemPtr Get(int index) {
        std::lock_guard lock(FLock);
        if (index < 0 || index >= static_cast<int>(FItems.size()))
            return nullptr;
        return FItems[static_cast<size_t>(index)];
    }

    void Add(TItemPtr item) {
        std::lock_guard lock(FLock);
        FItems.push_back(std::move(item));
    }

    // Removes the item; it is destroyed once the lock is released and no walk
    // holds it any more (its destruction may wait for threads).
    bool Remove(const T* item) {
        TItemPtr removed;
        {
            std::lock_guard lock(FLock);
            auto it = std::find_if(FItems.begin(), FItems.end(),
                                   [&](const TItemPtr& p) { return p.get() == item; });
            if (it == FItems.end())
                return false;
            removed = std::move(*it);
            FItems.erase(it);
        }
        return true;
    }

    bool Delete(int index) {
        TItemPtr removed;
        {
            std::lock_guard lock(FLock);
            if (index < 0 || index >= static_cast<int>(FItems.size()))
                return false;
            removed = std::move(FItems[static_cast<size_t>(index)]);
            FItems.erase(FItems.begin() + index);
        }
        return true;
    }

    void Clear() {
        std::vector<TItemPtr> removed;
        {
            std::lock_guard lock(FLock);
            removed.swap(FItems);
        }
    }

    // Marks every item that came from location, under the lock (the first
    // step of a location's mark and sweep).
    template <class Location> void MarkAllOf(const Location* location) {
        std::lock_guard lock(FLock);
        for (const TItemPtr& item : FItems) {
            if (item->Location() == location)
                item->SetMarked(true);
        }
    }

    // The sweep of a location's re-read: takes out, from the last to the
    // first, every item of location still marked, calling step(item) for each
    // under the lock. The items are handed back so that they are destroyed
    // once the caller's own hold on the lock is gone (an item's destruction
    // may wait for its action thread, which may need the list).
    template <class Location, class Step>
    [[nodiscard]] std::vector<TItemPtr> TakeMarkedOf(const Location* location, Step&& step) {
        std::vector<TItemPtr> taken;
        std::lock_guard lock(FLock);
        for (size_t index = FItems.size(); index-- > 0;) {
            const TItemPtr& item = FItems[index];
            if (item->Location() != location || !item->Marked())
                continue;
            step(*item);
            taken.push_back(std::move(FItems[index]));
            FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
        }
        return taken;
    }

    template <class Pred> bool Any(Pred&& pred) { return First(pred) != nullptr; }

    // The first item pred accepts, or nullptr; pred runs under the lock.
    template <class Pred> TItemPtr First(Pred&& pred) {
        std::lock_guard lock(FLock);
        auto it = std::find_if(FItems.begin(), FItems.end(), [&](const TItemPtr& p) { return pred(*p); });
        return it == FItems.end() ? nullptr : *it;
    }

    // Calls step(item) for every item from the last to the first, outside the
    // lock. Each index is checked against the current count under the lock, so
    // items removed by another thread or by step itself are skipped safely.
    template <class Step> void ForEachFromLast(Step&& step) {
        for (int index = Count() - 1; index >= 0; --index) {
            if (TItemPtr item = Get(index))
                step(*item);
        }
    }

private:
    std::recursive_mutex FLock;
    std::vector<TItemPtr> FItems;
};

// T derives from std::enable_shared_from_this (through its base); an item
// removes itself in its destructor, under the lock.
template <class T> class TItemRefList {
public:
    using TItemPtr = std::shared_ptr<T>;

    explicit TItemRefList(std::recursive_mutex& lock) : FLock(lock) {}
    TItemRefList(const TItemRefList&) = delete;
    TItemRefList& operator=(const TItemRefList&) = delete;

    std::recursive_mutex& Lock() { return FLock; }

    int Count() {
        std::lock_guard lock(FLock);
        return static_cast<int>(FItems.size());
    }

    // The item at index while it is alive, else nullptr.
    TItemPtr Get(int index) {
        std::lock_guard lock(FLock);
        if (index < 0 || index >= static_cast<int>(FItems.size()))
            return nullptr;
        return Hold(FItems[static_cast<size_t>(index)]);
    }

    bool Contains(const T* item) {
        std::lock_guard lock(FLock);
        return std::find(FItems.begin(), FItems.end(), item) != FItems.end();
    }

    // Adds the item unless it is listed already.
    void Add(T* item) {
        std::lock_guard lock(FLock);
        if (std::find(FItems.begin(), FItems.end(), item) == FItems.end())
            FItems.push_back(item);
    }

    bool Remove(const T* item) {
        std::lock_guard lock(FLock);
        auto it = std::find(FItems.begin(), FItems.end(), item);
        if (it == FItems.end())
            return false;
        FItems.erase(it);
        return true;
    }

    void Clear() {
        std::lock_guard lock(FLock);
        FItems.clear();
    }

    // Only items still alive are asked (one being destroyed is skipped).
    template <class Pred> bool Any(Pred&& pred) {
        std::lock_guard lock(FLock);
        return std::any_of(FItems.begin(), FItems.end(), [&](T* p) {
            auto item = Hold(p);
            return item && pred(*item);
        });
    }

    template <class Step> void ForEachFromLast(Step&& step) {
        for (int index = Count() - 1; index >= 0; --index) {
            if (TItemPtr item = Get(index))
                step(*item);
        }
    }

private:
    static TItemPtr Hold(T* item) { return std::static_pointer_cast<T>(item->weak_from_this().lock()); }

    std::recursive_mutex& FLock;
    std::vector<T*> FItems;
};

} // namespace velmora
