#pragma once
// The collections the front end walks: installed programs, installed updates
// and rarely used programs. They own nothing; they read the library-wide
// lists. Being location owners, they keep the inventory alive while they live.
#include "api/Interfaces.Velmora.h"
#include "inventory/LocationOwner.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

namespace velmora {

// Source: which list a collection shows, with its lock, icons and mask.
template <class Source>
class TProductCollection : public TLiveCount<TProductCollection<Source>>,
                           public TLocationOwner,
                           public TInterfacedObject<IProductCollection> {
public:
    int32_t STDMETHODCALLTYPE GetInfoMask() override;
    // The current count, read without the lock: the front end brackets its
    // walk with Lock and Unlock.
    int32_t STDMETHODCALLTYPE GetCount() override;
    void STDMETHODCALLTYPE GetItem(int32_t Index, IProduct** Product) override;
    HIMAGELIST STDMETHODCALLTYPE GetSmallImages() override;
    HIMAGELIST STDMETHODCALLTYPE GetLargeImages() override;
    bool STDMETHODCALLTYPE IsAnyActionRunning() override;
    void STDMETHODCALLTYPE Lock() override;
    void STDMETHODCALLTYPE Unlock() override;
};

struct TProgramSource;
struct TUnusedSource;
struct TUpdateSource;

using TItemProgramCollection = TProductCollection<TProgramSource>;
using TItemUnusedCollection = TProductCollection<TUnusedSource>;
using TItemUpdateCollection = TProductCollection<TUpdateSource>;

extern template class TProductCollection<TProgramSource>;
extern template class TProductCollection<TUnusedSource>;
extern template class TProductCollection<TUpdateSource>;

} // namespace velmora
