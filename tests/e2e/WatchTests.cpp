// The inventory while it watches the sample machine: VelmoraHelper.dll loaded
// as the front end loads it (LoadLibrary, DllGetInstance, the public
// interfaces and nothing else), a read started once and left running while
// programs come and go.
#include "frame/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"

#include <gtest/gtest.h>

#include <share.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using velmora::TComPtr;
using velmora::unique_find;
using velmora::unique_hkey;

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kTrackerKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelmoraTracker";
const wchar_t kTrackerFolder[] = L"C:\\Program Files\\Velmora Tracker";

std::wstring ThisFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring TextInfo(IProduct* product, int32_t index) {
    VARIANT v;
    VariantInit(&v);
    product->GetInfo(index, &v);
    std::wstring text = V_VT(&v) == VT_BSTR && V_BSTR(&v) ? V_BSTR(&v) : L"";
    VariantClear(&v);
    return text;
}

int64_t SizeInfo(IProduct* product) {
    VARIANT v;
    VariantInit(&v);
    product->GetInfo(piEstimatedSize, &v);
    int64_t size = V_VT(&v) == VT_I8 ? V_I8(&v) : V_VT(&v) == VT_I4 ? V_I4(&v) : -1;
    VariantClear(&v);
    return size;
}

// Polls until the condition holds or the time is up; the last answer.
bool WaitFor(std::chrono::milliseconds limit, const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(100ms);
    }
}

// Bytes of every file below the folder (links not followed), as Windows reports them.
int64_t FolderBytes(const std::wstring& folder) {
    int64_t total = 0;
    WIN32_FIND_DATAW data;
    unique_find find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return 0;
    do {
        std::wstring name = data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..")
                total += FolderBytes(folder + L"\\" + name);
        } else {
            total += (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while (FindNextFileW(find.get(), &data));
    return total;
}

std::optional<DWORD> ReadDword(HKEY root, const wchar_t* path, const wchar_t* name) {
    unique_hkey key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

// The statistics log as it grows during this run: the file lives in the
// user's local application data; a rotation moves the earlier part to ".1".
class StatisticsLogTail {
public:
    StatisticsLogTail() {
        wchar_t folder[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
        FBase = std::wstring(folder) + L"\\Velmora\\Logs\\VelmoraStatistics";
        FStart = Read(FBase + L".log").size();
    }
    // What was written since construction.
    std::string Added() const {
        std::string now = Read(FBase + L".log");
        if (now.size() >= FStart)
            return now.substr(FStart);
        std::string rotated = Read(FBase + L".1.log");
        return (rotated.size() > FStart ? rotated.substr(FStart) : rotated) + now;
    }

private:
    static std::string Read(const std::wstring& path) {
        std::string bytes;
        if (FILE* file = _wfsopen(path.c_str(), L"rb", _SH_DENYNO)) {
            char buffer[65536];
            size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
                bytes.append(buffer, n);
            fclose(file);
        }
        return bytes;
    }
    std::wstring FBase;
    size_t FStart = 0;
};

// The log's lines about programs coming and going, for a failure message.
std::string ProgramLines(const std::string& log) {
    std::string lines;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        std::string line = log.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
        if (line.find(" Program: ") != std::string::npos || line.find("Detect changes") != std::string::npos)
            lines += line;
        start = end == std::string::npos ? log.size() : end + 1;
    }
    return lines;
}

class InventoryWatch : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The tracker's installer records no size; a size written back by an
        // earlier run is taken away so that this read has to measure it.
        unique_hkey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTrackerKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, key.put()) ==
            ERROR_SUCCESS)
            RegDeleteValueW(key.get(), L"EstimatedSize");
        Log = new StatisticsLogTail();
        Library = LoadLibraryW((ThisFolder() + L"VelmoraHelper.dll").c_str());
        if (!Library)
            return;
        auto getInstance = reinterpret_cast<TDllGetInstance>(
            reinterpret_cast<void*>(GetProcAddress(Library, "DllGetInstance")));
        if (!getInstance || FAILED(getInstance(__uuidof(IVelmora), reinterpret_cast<void**>(&Root))))
            return;
        Root->Refresh();
        Loaded = WaitFor(180s, [] { return Root->GetReadState() == TReadState::rsLoaded; });
    }

    static void TearDownTestSuite() {
        if (Root) {
            Root->Stop();
            Root->Release();
            Root = nullptr;
        }
        delete Log;
        Log = nullptr;
        // The library stays loaded: its threads may still be ending.
    }

    void SetUp() override {
        ASSERT_NE(Library, nullptr) << "VelmoraHelper.dll did not load";
        ASSERT_NE(Root, nullptr) << "DllGetInstance gave no root object";
        ASSERT_TRUE(Loaded) << "the read did not reach rsLoaded";
    }

    // Runs f on the program named name (nullptr when absent) under the collection lock.
    template <class F> static auto WithProgram(const std::wstring& name, F f) {
        TComPtr<IProductCollection> programs;
        Root->GetPrograms(programs.put());
        TComPtr<IProduct> found;
        if (programs) {
            programs->Lock();
            for (int32_t i = 0, n = programs->GetCount(); i < n && !found; ++i) {
                TComPtr<IProduct> product;
                programs->GetItem(i, product.put());
                if (product && TextInfo(product.get(), piDisplayName) == name)
                    found = product;
            }
            programs->Unlock();
        }
        return f(found.get());
    }

    static bool Listed(const std::wstring& name) {
        return WithProgram(name, [](IProduct* p) { return p != nullptr; });
    }

    static inline HMODULE Library = nullptr;
    static inline IVelmora* Root = nullptr;
    static inline bool Loaded = false;
    static inline StatisticsLogTail* Log = nullptr;
};

TEST_F(InventoryWatch, MeasuresTheFolderOfAProgramThatRecordsNoSize) {
    int64_t folder = FolderBytes(kTrackerFolder);
    ASSERT_GT(folder, 0) << "the tracker is not installed";
    int64_t size = 0;
    bool measured = WaitFor(60s, [&] {
        size = WithProgram(L"Velmora Tracker", [](IProduct* p) { return p ? SizeInfo(p) : -1; });
        return size > 0;
    });
    ASSERT_TRUE(measured) << "size still " << size;
    // Exact bytes from the measurement, or the kilobytes written back and read again.
    EXPECT_TRUE(size == folder || size == folder / 1024 * 1024) << size << " bytes, folder holds " << folder;
    // The measurement is written back to the program's uninstall entry.
    std::optional<DWORD> written;
    EXPECT_TRUE(WaitFor(10s, [&] {
        return (written = ReadDword(HKEY_LOCAL_MACHINE, kTrackerKey, L"EstimatedSize")).has_value();
    }));
    if (written) {
        EXPECT_EQ(*written, folder / 1024);
    }
}

TEST_F(InventoryWatch, SeesAProgramInstalledAndRemovedWhileItWatches) {
    std::wstring id = std::to_wstring(GetCurrentProcessId());
    std::wstring name = L"Velmora Watch Probe " + id;
    std::wstring path = std::wstring(kUninstall) + L"\\VelmoraWatchProbe" + id;
    ASSERT_FALSE(Listed(name));

    unique_hkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    auto setText = [&](const wchar_t* value, const std::wstring& text) {
        RegSetValueExW(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    };
    setText(L"DisplayName", name);
    setText(L"DisplayVersion", L"4.5.6");
    setText(L"Publisher", L"Velmora Probes");
    setText(L"UninstallString", L"C:\\Windows\\notepad.exe");
    key.reset();
    struct Cleanup {
        std::wstring Path;
        ~Cleanup() { RegDeleteKeyW(HKEY_CURRENT_USER, Path.c_str()); }
    } cleanup{path};

    // One poll a second, half a second to re-arm, a second before the re-read.
    EXPECT_TRUE(WaitFor(15s, [&] { return Listed(name); })) << "the new program did not appear";
    WithProgram(name, [](IProduct* p) {
        if (!p)
            return 0;
        EXPECT_EQ(TextInfo(p, piDisplayVersion), L"4.5.6");
        EXPECT_EQ(TextInfo(p, piPublisher), L"Velmora Probes");
        return 0;
    });

    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
    EXPECT_TRUE(WaitFor(15s, [&] { return !Listed(name); })) << "the removed program is still listed";

    std::string added = "Add Program: " + Utf8(name) + " (";
    std::string deleted = "Delete Program: " + Utf8(name) + " (";
    std::string log;
    bool logged = WaitFor(10s, [&] {
        log = Log->Added();
        return log.find(added) != std::string::npos && log.find(deleted) != std::string::npos;
    });
    EXPECT_TRUE(logged) << "program lines of the statistics log since the start:\n" << ProgramLines(log);
    EXPECT_NE(log.find("Detect changes in location \""), std::string::npos);
    EXPECT_LT(log.find(added), log.find(deleted));
}

} // namespace
