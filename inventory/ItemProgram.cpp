#include "inventory/ItemProgram.h"

#include "frame/DebugLog.h"
#include "inventory/LocationOwner.h"
#include "inventory/TaskManager.h"
#include "platform/LibraryGlobal.h"
#include "platform/PathText.h"
#include "platform/Text.h"

#include <cmath>

namespace velmora {

namespace {

struct TProgramLists {
    // A program's destructor waits for the job queue: the queue is made first
    // so that it is torn down after the lists, whatever was used first.
    TProgramLists() { TTaskManager::Instance(); }
    // Programs leave the rarely used list in their destructors: destroy them
    // while that list still exists.
    ~TProgramLists() { Items.Clear(); }

    TItemList<TItemProgram> Items;
    TItemRefList<TItemProgram> Unused{Items.Lock()};
    std::wstring HostFolder;
};

TProgramLists& Lists() {
    static TLibraryGlobal<TProgramLists> lists;
    return *lists;
}

template <class T> T ReadLittleEndian(std::span<const uint8_t> data, size_t offset) {
    std::make_unsigned_t<T> value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<std::make_unsigned_t<T>>(static_cast<std::make_unsigned_t<T>>(data[offset + i])
                                                      << (8 * i));
    return static_cast<T>(value);
}

TUsedType UsedTypeOf(int32_t count) {
    if (count < 0)
        return TUsedType::utNone;
    if (count <= 4)
        return TUsedType::utRarely;
    if (count <= 10)
        return TUsedType::utOccasionaly;
    return TUsedType::utFrequently;
}

} // namespace

// Per OS: the folder of the library's own file and the program icon list.
namespace program_os {
std::wstring QueryHostFolder();
void CreateIconList();
void FreeIconList();
void FreeProgramIcon(int32_t index);
} // namespace program_os

bool IsRarelyUsed(double lastUsed, double now) {
    return lastUsed > 0 && std::trunc(now - lastUsed) > RarelyUsedDays;
}

std::optional<TSlowInfoCache> ParseSlowInfoCache(std::span<const uint8_t> data) {
    if (data.size() != TSlowInfoCache::RecordSize)
        return std::nullopt;
    constexpr size_t NameOffset = 28;
    constexpr size_t NameChars = 262;
    TSlowInfoCache cache;
    cache.HasName = ReadLittleEndian<uint32_t>(data, 4) != 0;
    cache.InstallSize = ReadLittleEndian<int64_t>(data, 8);
    cache.LastUsed = ReadLittleEndian<uint64_t>(data, 16);
    cache.UseCount = ReadLittleEndian<int32_t>(data, 24);
    for (size_t i = 0; i < NameChars; ++i) {
        auto ch = ReadLittleEndian<uint16_t>(data, NameOffset + 2 * i);
        if (ch == 0)
            break;
        cache.FileName.push_back(static_cast<wchar_t>(ch));
    }
    return cache;
}

bool IsCommandMissing(const std::wstring& command, const TCommandProbe& probe) {
    if (command.empty())
        return false;
    // The probing tries the whole command first: a file named by all of it is found.
    std::wstring program = ProgramOfCommand(command, probe);
    if (ExtractFilePath(program).empty())
        return false;
    return !(probe.FileExists && probe.FileExists(program));
}

bool NeedsSizeJob(int64_t estimatedSize, std::wstring_view location, std::wstring_view windowsFolder,
                  std::wstring_view programFiles, std::wstring_view programFilesX86) {
    if (estimatedSize > 0 || location.size() <= 3)
        return false;
    const std::wstring folder = IncludeTrailingBackslash(location);
    const std::wstring windows =
        windowsFolder.empty() ? std::wstring() : IncludeTrailingBackslash(windowsFolder);
    if (!windows.empty() && folder.size() >= windows.size() &&
        SameText(std::wstring_view(folder).substr(0, windows.size()), windows))
        return false;
    for (std::wstring_view programs : {programFiles, programFilesX86}) {
        if (!programs.empty() && SameText(folder, IncludeTrailingBackslash(programs)))
            return false;
    }
    return true;
}

TItemProgram::TItemProgram(TTypeUninstallLocation* location) : TItemProduct(location) {
    FIconIndex = 3;
}

TItemProgram::~TItemProgram() {
    // No size job may still hold the item.
    TTaskManager::Instance().WaitQueue(this);
    program_os::FreeProgramIcon(ExchangeIconIndex(-1));
    UnusedItems().Remove(this);
}

TItemList<TItemProgram>& TItemProgram::Items() {
    return Lists().Items;
}

TItemRefList<TItemProgram>& TItemProgram::UnusedItems() {
    return Lists().Unused;
}

const std::wstring& TItemProgram::HostFolder() {
    return Lists().HostFolder;
}

bool TItemProgram::IsInHostFolder(std::wstring_view path) {
    const std::wstring& host = HostFolder();
    return !host.empty() && path.size() >= host.size() && SameText(path.substr(0, host.size()), host);
}

// A fresh cycle starts with empty lists, whatever a previous one left.
void TItemProgram::Init() {
    UnusedItems().Clear();
    Items().Clear();
    Lists().HostFolder = program_os::QueryHostFolder();
    program_os::CreateIconList();
}

// Destroys every program (each stops its action thread first).
void TItemProgram::Done() {
    UnusedItems().Clear();
    Items().Clear();
    program_os::FreeIconList();
}

std::shared_ptr<TItemProgram> TItemProgram::ItemByGUIDName(std::wstring_view guid, std::wstring_view name,
                                                           TTypeUninstallLocation* location) {
    return Items().First([&](const TItemProgram& item) { return item.IsGUIDName(location, guid, name); });
}

void TItemProgram::MarkAllFrom(TTypeUninstallLocation* location) {
    Items().MarkAllOf(location);
}

void TItemProgram::RemoveMarked(TTypeUninstallLocation* location) {
    auto removed = Items().TakeMarkedOf(location, [](const TItemProgram& item) {
        StatisticsLog::Add(L"");
        StatisticsLog::Add(L"Delete Program: %s (%s)", item.FDisplayNameNative, item.FGUID);
    });
}

void TItemProgram::ClearFastData() {
    TItemProduct::ClearFastData();
    FProductID.clear();
    FRegisteredOwner.clear();
    FRegisteredCompany.clear();
}

void TItemProgram::ReadSlowInfo() {
    TItemProduct::ReadSlowInfo();
    if (IsNeedReadSlowInfo())
        return;
    bool rarelyUsed;
    {
        std::lock_guard itemLock(FCSItem);
        rarelyUsed = IsRarelyUsed(FLastUsedDate, NowOleDate());
    }
    auto& unused = UnusedItems();
    std::lock_guard lock(unused.Lock());
    if (rarelyUsed)
        unused.Add(this);
    else
        unused.Remove(this);
}

TInfoValue TItemProgram::GetInfo(TProductInfo index) {
    std::lock_guard lock(FCSItem);
    switch (index) {
    case piRegisteredOwner:
        return FRegisteredOwner;
    case piRegisteredCompany:
        return FRegisteredCompany;
    case piProductKeyName:
        return FGUID;
    case piProductID:
        return FProductID;
    case piLastUsedDate:
        return TInfoDate{FLastUsedDate};
    case piUsedType:
        return static_cast<int32_t>(UsedTypeOf(FUsedFrequencyCount));
    case piSoftwareRating:
        return static_cast<int32_t>(FSoftwareRating);
    default:
        return TItemProduct::GetInfo(index);
    }
}

bool TItemProgram::RunAction(TPossibleActions& action, void*& topWindow) {
    if (!TItemProduct::RunAction(action, topWindow))
        return false;
    if (action == TPossibleActions::paRemoveFromRegistry) {
        // The caller holds the item: it is destroyed when that call returns.
        StatisticsLog::Add(L"");
        StatisticsLog::Add(L"Remove Program from list: %s (%s)", FDisplayNameNative, FGUID);
        Items().Remove(this);
    }
    return true;
}

void TItemProgram::ReadUsage(const std::wstring& folder) {
    if (folder.empty()) {
        std::lock_guard lock(FCSItem);
        FUsedFrequencyCount = -1;
        return;
    }
    const TLocationOwner::TFolderUsage usage = TLocationOwner::FolderUsage();
    if (!usage)
        return;
    int32_t counter = -1;
    double lastUsed = 0;
    usage(folder, counter, lastUsed);
    std::lock_guard lock(FCSItem);
    FUsedFrequencyCount = std::max(FUsedFrequencyCount, counter);
    if (counter >= 0 && lastUsed > FLastUsedDate)
        FLastUsedDate = lastUsed;
}

void TItemProgram::ApplySlowInfoCache(const TSlowInfoCache& cache, double lastUsedDate) {
    if (FEstimatedSize <= 0)
        FEstimatedSize = cache.InstallSize;
    if (cache.HasName && FSlowExePath.empty())
        FSlowExePath = cache.FileName;
    FUsedFrequencyCount = std::max(FUsedFrequencyCount, cache.UseCount);
    if (lastUsedDate > FLastUsedDate)
        FLastUsedDate = lastUsedDate;
}

} // namespace velmora
