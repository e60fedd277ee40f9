#pragma once
// What the window shows of the library, read on a thread of its own: the
// library has no push notification, so this thread polls the read states,
// the collections and each product's change flag, and posts a snapshot to
// the window whenever something it shows has changed.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::gui {

enum class TView { Programs, Updates, Unused, Features };
constexpr int kProductViews = 3;

struct TProgramRow {
    TComPtr<IProduct> Product;
    std::wstring Name, Publisher, Version;
    int64_t Size = 0;
    double Installed = 0;
    double LastUsed = 0;
    int UsedType = -1;
    int Image = -1;
    bool StoreApp = false;
    // An update the system keeps: nothing offers to uninstall it.
    bool SystemComponent = false;
    TPossibleActionsSet Actions = 0;
    // The library hands out a new product object on each GetItem: rows
    // compare by what they show.
    bool operator==(const TProgramRow& o) const {
        return Name == o.Name && Publisher == o.Publisher && Version == o.Version && Size == o.Size &&
               Installed == o.Installed && LastUsed == o.LastUsed && UsedType == o.UsedType &&
               Image == o.Image && StoreApp == o.StoreApp && SystemComponent == o.SystemComponent &&
               Actions == o.Actions;
    }
};

struct TFeatureRow {
    TComPtr<IFeature> Feature;
    std::wstring Name, Title, Description;
    bool Enabled = false;
    std::vector<TFeatureRow> Children;
};

struct TSnapshot {
    TReadState ProgramsState = TReadState::rsNonw;
    TReadState FeaturesState = TReadState::rsNonw;
    TInstallState FeatureSwitch = TInstallState::isNone;
    std::array<std::vector<TProgramRow>, kProductViews> Lists;
    std::array<int32_t, kProductViews> InfoMasks{};
    std::array<HIMAGELIST, kProductViews> SmallImages{};
    std::array<HIMAGELIST, kProductViews> LargeImages{};
    uint64_t FeatureStamp = 0;
    std::vector<TFeatureRow> Features;
};

class TWatcher {
public:
    // Posts each new snapshot as message (lParam: a TSnapshot* the window
    // takes over). Starts the program read and the features read.
    TWatcher(IVelmora& root, HWND window, UINT message);
    // Stops the thread; a snapshot already posted stays in the queue.
    ~TWatcher();
    TWatcher(const TWatcher&) = delete;
    TWatcher& operator=(const TWatcher&) = delete;
    IFeatures* Features() const { return FFeatures.get(); }

private:
    void Run();
    TSnapshot Read(const TSnapshot& previous);

    TComPtr<IVelmora> FRoot;
    TComPtr<IFeatures> FFeatures;
    std::array<TComPtr<IProductCollection>, kProductViews> FCollections;
    HWND FWindow;
    UINT FMessage;
    std::mutex FLock;
    std::condition_variable FWake;
    bool FStop = false;
    std::thread FThread;
};

} // namespace velmora::gui
