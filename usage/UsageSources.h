#pragma once
// The three sources of usage records: the shell's launch counters, the
// system's prefetch files, and the programs that start with Windows.
#include "usage/UsageItems.h"

#include <map>
#include <memory>
#include <string>

namespace velmora {

class TUsageManager {
public:
    virtual ~TUsageManager() = default;
    // Adds the source's records; never clears items.
    virtual void Fill(TUsageItems& items) = 0;
};

// How one Windows generation names and lays out its launch counters.
class TAssistStrategy {
public:
    virtual ~TAssistStrategy() = default;
    virtual void ProcessEntry(const std::wstring& keyPath, const std::wstring& valueName,
                              TUsageItems& items) = 0;
};

class TUserAssist : public TUsageManager {
public:
    TUserAssist();
    ~TUserAssist() override;
    void Fill(TUsageItems& items) override;

private:
    std::unique_ptr<TAssistStrategy> FStrategy;
};

class TPrefetch : public TUsageManager {
public:
    void Fill(TUsageItems& items) override;

private:
    // Volume key (device folder upper-cased, or creation time and serial
    // number) -> drive path ("C:").
    std::map<std::wstring, std::wstring> BuildVolumeMap();
};

class TBootAssist : public TUsageManager {
public:
    TBootAssist();
    void Fill(TUsageItems& items) override;

private:
    void Collect();

    TUsageItems FItems;
    bool FCollected = false;
    // Local OLE date of the last system start.
    double FBootTime;
};

// A UTC file time as a local date by the time zone's base bias (daylight
// saving not applied); 0 for 0.
double UsageFileTimeToDate(uint64_t fileTime);
// Resolves the shortcut records of items.
void ProcessShortcutRecords(TUsageItems& items);

} // namespace velmora
