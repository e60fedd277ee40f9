#include "forceremove/ExtData.h"

#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

bool IsExtension(std::wstring_view name) {
    return name.starts_with(L'.') || name == L"*";
}

// Names of the classes key that are the system's own: its keys that are no
// ProgIDs, the file types and protocols Windows registers, and the shell's
// own classes. A program may take over one of their verbs; the user repairs
// that, the removal never takes them (nor any verb of them).
bool IsSystemClassName(std::wstring_view name) {
    static constexpr std::wstring_view Names[] = {L"*",
                                                  L"AllFilesystemObjects",
                                                  L"Applications",
                                                  L"AppID",
                                                  L"AudioCD",
                                                  L"batfile",
                                                  L"CID",
                                                  L"CLSID",
                                                  L"cmdfile",
                                                  L"comfile",
                                                  L"CompressedFolder",
                                                  L"ConflictFolder",
                                                  L"DesktopBackground",
                                                  L"Directory",
                                                  L"dllfile",
                                                  L"Drive",
                                                  L"exefile",
                                                  L"file",
                                                  L"Folder",
                                                  L"ftp",
                                                  L"giffile",
                                                  L"htafile",
                                                  L"htmlfile",
                                                  L"http",
                                                  L"https",
                                                  L"inffile",
                                                  L"inifile",
                                                  L"Interface",
                                                  L"InternetShortcut",
                                                  L"jpegfile",
                                                  L"JSFile",
                                                  L"lnkfile",
                                                  L"mailto",
                                                  L"MIME",
                                                  L"Msi.Package",
                                                  L"Network",
                                                  L"Paint.Picture",
                                                  L"piffile",
                                                  L"pngfile",
                                                  L"Printers",
                                                  L"Protocols",
                                                  L"regfile",
                                                  L"scrfile",
                                                  L"SystemFileAssociations",
                                                  L"txtfile",
                                                  L"TypeLib",
                                                  L"Unknown",
                                                  L"VBSFile",
                                                  L"WSFFile",
                                                  L"xmlfile"};
    return std::any_of(std::begin(Names), std::end(Names),
                       [&](auto system) { return SameText(name, system); });
}

// A ProgID that a system extension names in its default value is a system
// type too, whatever Windows calls it on this machine: the list above cannot
// know every version's names, and a program that made such an extension
// point to its own ProgID made that ProgID the system's type.
constexpr std::wstring_view SystemExtensions[] = {L".bat", L".cmd",  L".com", L".dll", L".exe",
                                                  L".htm", L".html", L".ini", L".lnk", L".msi",
                                                  L".reg", L".txt",  L".url", L".vbs", L".xml"};

} // namespace

TFRExtData::TFRExtData(TFRRegList& regList, TFRFileList& fileList, TAppFolders& appFolders,
                       TIDList& appIDList, TWorkflowCheck checkWorkflow, TIDList& clsidList,
                       const TRegistrySource& source)
    : FScan(source, appFolders, regList), FFileList(fileList), FAppIDList(appIDList),
      FCheckWorkflow(std::move(checkWorkflow)), FCLSIDList(clsidList) {}

void TFRExtData::Run() {
    FSystemProgIDs.clear();
    for (auto extension : SystemExtensions)
        for (const auto& view : FScan.ClassViews(std::wstring(extension) + L'\\'))
            if (auto progID = FScan.Source().ReadText(view, L""); progID && !progID->empty())
                FSystemProgIDs.push_back(*progID);
    Pass(FScan.SubKeysInClasses(L"CLSID\\"), 0, &TFRExtData::CheckClass);
    const std::vector<TSubKey> names = FScan.SubKeysInClasses(L"");
    Pass(names, 33, &TFRExtData::CheckProgID);
    Pass(names, 66, &TFRExtData::CheckExtension);
}

void TFRExtData::Pass(const std::vector<TSubKey>& items, int32_t base, TItemStep step) {
    const size_t count = items.size();
    for (size_t i = 0; i < count; ++i) {
        if (FCheckWorkflow)
            FCheckWorkflow();
        SetProgress(base + static_cast<int32_t>(i * 100 / count / 3));
        (this->*step)(items[i]);
    }
}

void TFRExtData::CheckClass(const TSubKey& clsid) {
    if (ClassBelongs(clsid.Text())) {
        FCLSIDList.Add(clsid.Name);
        FScan.AddKey(clsid.Text());
        // The class's AppID is then the program's: the AppID scanner takes its keys.
        FAppIDList.Add(FScan.Source().ReadString(clsid.Text(), L"AppID").value_or(L""));
    }
}

bool TFRExtData::ClassBelongs(const std::wstring& classKey) const {
    const TRegistrySource& source = FScan.Source();
    for (auto server : {L"LocalServer32\\", L"InProcServer32\\"})
        if (FScan.ProgramInAppFolder(source.ReadText(classKey + server, L"").value_or(L"")))
            return true;
    return FAppIDList.Exists(source.ReadString(classKey, L"AppID").value_or(L""));
}

bool TFRExtData::IsSystemType(std::wstring_view name) const {
    return IsSystemClassName(name) ||
           std::any_of(FSystemProgIDs.begin(), FSystemProgIDs.end(),
                       [&](const std::wstring& progID) { return SameText(progID, name); });
}

void TFRExtData::CheckProgID(const TSubKey& name) {
    if (IsExtension(name.Name) || IsSystemType(name.Name))
        return;
    const TRegistrySource& source = FScan.Source();
    const std::wstring progIDKey = name.Text();
    const std::wstring clsid = source.ReadText(progIDKey + L"CLSID\\", L"").value_or(L"");
    const std::wstring shell = progIDKey + L"Shell\\";
    std::vector<std::wstring> ownVerbs;
    bool foreignVerb = false;
    for (const auto& verb : source.SubKeyNames(shell)) {
        if (FScan.ProgramInAppFolder(source.ReadText(shell + verb + L"\\Command\\", L"").value_or(L"")))
            ownVerbs.push_back(shell + verb + L'\\');
        else
            foreignVerb = true;
    }
    const bool ownClass = FCLSIDList.Exists(clsid);
    if (!ownClass && ownVerbs.empty())
        return;
    // The whole key only when all it records is the program's: each verb,
    // the icon, the class. Otherwise it is another's type whose verbs the
    // program took over: those verbs go, the type and its other verbs stay.
    const bool foreignIcon =
        FScan.NamesOtherPlace(source.ReadText(progIDKey + L"DefaultIcon\\", L"").value_or(L""));
    if (!foreignVerb && !foreignIcon && (clsid.empty() || ownClass)) {
        FScan.AddKey(progIDKey);
        FProgIDList.push_back(name.Name);
        FProgIDKeys.push_back(progIDKey);
        return;
    }
    for (const auto& verb : ownVerbs)
        FScan.AddKey(verb);
}

bool TFRExtData::IsProgIDOfProgram(std::wstring_view name) const {
    return std::any_of(FProgIDList.begin(), FProgIDList.end(),
                       [&](const std::wstring& progID) { return SameText(progID, name); });
}

bool TFRExtData::TypeIsProgramsProgID(const TSubKey& extension) const {
    const TRegistrySource& source = FScan.Source();
    const std::wstring progID = source.ReadText(extension.Text(), L"").value_or(L"");
    if (progID.empty() || !IsProgIDOfProgram(progID))
        return false;
    // The type resolves as HKEY_CLASSES_ROOT resolves it: in the extension's
    // own place; a user's extension to the machine's ProgID only when the
    // user has none of that name.
    std::vector<std::wstring> places{extension.Parent};
    const std::vector<std::wstring> views = FScan.ClassViews(L"");
    if (SameText(extension.Parent, views.front())) {
        const auto userNames = source.SubKeyNames(views.front());
        if (std::none_of(userNames.begin(), userNames.end(),
                         [&](const std::wstring& userName) { return SameText(userName, progID); }))
            places.assign(views.begin() + 1, views.end());
    }
    return std::any_of(places.begin(), places.end(), [&](const std::wstring& place) {
        return std::any_of(FProgIDKeys.begin(), FProgIDKeys.end(),
                           [&](const std::wstring& key) { return SameText(key, place + progID + L'\\'); });
    });
}

void TFRExtData::CheckExtension(const TSubKey& name) {
    if (!IsExtension(name.Name))
        return;
    const TRegistrySource& source = FScan.Source();
    const std::wstring extension = name.Text();
    // Whether all the key holds is the program's, part by part.
    bool allOwn = true;
    const std::wstring openWithList = extension + L"OpenWithList\\";
    for (const auto& program : source.SubKeyNames(openWithList)) {
        const std::wstring key = openWithList + program + L'\\';
        if (FFileList.FindFile(program) && FScan.RecordsOnlyProgramPaths(key))
            FScan.AddKey(key);
        else
            allOwn = false;
    }
    // Only the value goes: the extension and the other programs' values stay.
    const std::wstring openWithProgIDs = extension + L"OpenWithProgIds\\";
    for (const auto& progID : source.ValueNames(openWithProgIDs)) {
        if (IsProgIDOfProgram(progID))
            FScan.AddValue(openWithProgIDs, progID);
        else
            allOwn = false;
    }
    const std::wstring handlers = extension + L"shellex\\ContextMenuHandlers\\";
    for (const auto& handler : source.SubKeyNames(handlers)) {
        const std::wstring key = handlers + handler + L'\\';
        if (FCLSIDList.Exists(handler) || FCLSIDList.Exists(source.ReadText(key, L"").value_or(L"")))
            FScan.AddKey(key);
    }
    // The whole key when its type is a ProgID the program's and it holds
    // nothing else: no other value, and no other subkey than open-with lists
    // of the program's alone (a system extension never: its type is the system's).
    if (!allOwn || !TypeIsProgramsProgID(name))
        return;
    for (const auto& value : source.ValueNames(extension))
        if (!value.empty())
            return;
    for (const auto& subKey : source.SubKeyNames(extension))
        if (!SameText(subKey, L"OpenWithList") && !SameText(subKey, L"OpenWithProgIds"))
            return;
    if (source.ValueNames(openWithList).empty() && source.SubKeyNames(openWithProgIDs).empty())
        FScan.AddKey(extension);
}

} // namespace velmora
