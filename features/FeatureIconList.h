#pragma once
// The icons of a feature engine: the state icons (0 disabled, 1 enabled), the
// rating badges (2 trusted, 3 unknown, 4 risky), the default feature icon
// (5), then the engine's groups, each one icon shared by several features.
#include "frame/IconImageList.h"

#include <initializer_list>
#include <map>
#include <mutex>
#include <string>

namespace velmora {

class TFeatureIconList : public TIconImageList {
public:
    static constexpr int DisabledIcon = 0;
    static constexpr int EnabledIcon = 1;
    static constexpr int TrustedIcon = 2;
    static constexpr int UnknownIcon = 3;

    TFeatureIconList();

    // The feature's group icon, or -1.
    int Get(const std::wstring& name);
    bool Exists(const std::wstring& name);
    // The icon of a PNG file, added on first use.
    int GetByFile(const std::wstring& fileName);
    // Frees the icons of the files not asked for since the last call: a
    // rebuilt group shows only the logos it asked for again.
    void FreeUnusedFileIcons();
    int Default() const { return FDefault; }

protected:
    // Adds the icon resource and maps every name to it; returns its index.
    int AddGroup(const wchar_t* resourceName, std::initializer_list<const wchar_t*> names);

private:
    std::mutex FItemsLock;
    std::map<std::wstring, int> FItems;
    struct TFileIcon {
        int Index = -1;
        bool Used = true;
    };
    std::map<std::wstring, TFileIcon> FFiles;
    int FDefault = -1;
};

} // namespace velmora
