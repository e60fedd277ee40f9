#pragma once
// Exact per-class counts of live objects, and the first/last-instance cycle
// that sets up and tears down state shared by all objects of a class family.
#include <atomic>
#include <mutex>

namespace velmora {

// Objects of every counted class together.
inline std::atomic<int> GLiveObjects{0};

// A class that hands its objects out through interfaces derives from
// TLiveCount<Itself>; the library is unloadable when every such count is 0.
template <class T> class TLiveCount {
public:
    static int Count() { return FCount.load(); }

protected:
    TLiveCount() { Add(); }
    TLiveCount(const TLiveCount&) { Add(); }
    ~TLiveCount() {
        --FCount;
        --GLiveObjects;
    }

private:
    static void Add() {
        ++FCount;
        ++GLiveObjects;
    }
    static inline std::atomic<int> FCount{0};
};

// Objects of all counted classes alive now.
inline int LiveObjectTotal() {
    return GLiveObjects.load();
}

template <class... Ts> int LiveObjectCount() {
    return (0 + ... + TLiveCount<Ts>::Count());
}

// Runs First() when the count goes from 0 to 1 and Last() when it returns to
// 0, both before Enter/after Leave return, serialised with every other
// Enter/Leave of the same cycle.
class TInstanceCycle {
public:
    TInstanceCycle(void (*first)(), void (*last)()) : FFirst(first), FLast(last) {}

    void Enter() {
        std::lock_guard lock(FMutex);
        if (FCount++ == 0)
            FFirst();
    }
    void Leave() {
        std::lock_guard lock(FMutex);
        if (--FCount == 0)
            FLast();
    }
    int Count() {
        std::lock_guard lock(FMutex);
        return FCount;
    }

private:
    std::recursive_mutex FMutex;
    int FCount = 0;
    void (*FFirst)();
    void (*FLast)();
};

// Membership of an object in a cycle for the object's whole life.
class TCycleMember {
public:
    explicit TCycleMember(TInstanceCycle& cycle) : FCycle(cycle) { FCycle.Enter(); }
    ~TCycleMember() { FCycle.Leave(); }
    TCycleMember(const TCycleMember&) = delete;
    TCycleMember& operator=(const TCycleMember&) = delete;

private:
    TInstanceCycle& FCycle;
};

} // namespace velmora
