#pragma once
// Usage records of programs (runs, focus, last use, loaded files) and the
// list the usage sources fill and merge.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct TUsageItem {
    // The program file, or a shortcut before it is resolved.
    std::wstring FFileName;
    int32_t FCounter = 0;
    int32_t FFocusCounter = 0;
    // Milliseconds.
    int32_t FFocusTime = 0;
    // Local OLE date; 0 when unknown.
    double FLastUsed = 0;
    // Files the program loaded.
    std::vector<std::wstring> FFiles;

    // Adds the other record's counts (AddCounts) and keeps the later date.
    void Merge(const TUsageItem& other);
};

// Launch counts come from data any process of the user can write (the
// counters are in the user's registry): a negative count adds nothing, and
// the sum stops at the largest int32_t.
int32_t AddCounts(int32_t sum, int32_t count);

// A UTC file time as an OLE date moved by biasMinutes (local = UTC - bias);
// 0 for 0.
double UsageDate(uint64_t fileTime, int32_t biasMinutes);

// Usage of everything below a folder; Counter is -1 when no record lies there.
struct TUsageData {
    int32_t Counter = -1;
    double LastUsed = 0;
};

// Orders two file names: negative, zero or positive.
using TUsageCompare = std::function<int(std::wstring_view, std::wstring_view)>;
// A shortcut's target; empty when it cannot be read.
using TShortcutTarget = std::function<std::wstring(const std::wstring& linkFile)>;

class TUsageItems {
public:
    TUsageItem& Add();
    void Clear();
    void Remove(size_t index);
    TUsageItem& GetItem(size_t index) { return *FList[index]; }
    const TUsageItem& GetItem(size_t index) const { return *FList[index]; }
    size_t Count() const { return FList.size(); }
    // Appends a copy without the loaded files.
    TUsageItem& CopyItem(const TUsageItem& item);
    // The first record of that name (locale-aware, ignoring case), or null.
    TUsageItem* Find(std::wstring_view name);
    // Binary search of a sorted list: index is the first record not less than
    // name; true when one compares equal.
    bool FindBinary(std::wstring_view name, size_t& index, const TUsageCompare& compare) const;
    // Each of the other's records merges into the record of its name, or is
    // appended as a copy.
    void Merge(const TUsageItems& other);
    // Shortcut records become records of their targets (merged into one that
    // exists); a shortcut whose target cannot be read stays.
    void ProcessLinks(const TShortcutTarget& target);
    void Sort(const TUsageCompare& compare);
    // Sums (AddCounts) the records whose names start with folder (a plain prefix test:
    // give the folder with its trailing delimiter) in a list sorted by name.
    TUsageData CollectByFolder(std::wstring_view folder) const;

private:
    std::vector<std::unique_ptr<TUsageItem>> FList;
};

} // namespace velmora
