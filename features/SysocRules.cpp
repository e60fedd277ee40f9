#include "features/SysocRules.h"

#include "platform/Format.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace velmora {

namespace {

const std::array<std::wstring_view, 15> NetworkComponents = {
    L"beacon",  L"dhcpserver", L"DNS",         L"IAS",     L"ILS",  L"LPDSVC",   L"MacPrint", L"MacSrv",
    L"NetCMAK", L"NetCPS",     L"NetMonTools", L"SimpTcp", L"SNMP", L"WBEMSNMP", L"WINS"};

const std::array<std::wstring_view, 56> TrustedComponents = {L"IEAccess",
                                                             L"iis",
                                                             L"iis_doc",
                                                             L"iis_common",
                                                             L"iis_inetmgr",
                                                             L"fp_extensions",
                                                             L"iis_ftp",
                                                             L"ims",
                                                             L"iis_smtp",
                                                             L"iis_www_parent",
                                                             L"iis_www_vdir_printers",
                                                             L"iis_www_vdir_scripts",
                                                             L"iis_www",
                                                             L"msnexplr",
                                                             L"OEAccess",
                                                             L"WMAccess",
                                                             L"FileAndPrint",
                                                             L"LPDSVC",
                                                             L"RootAutoUpdate",
                                                             L"msmq",
                                                             L"msmq_ADIntegrated",
                                                             L"msmq_Common",
                                                             L"msmq_LocalStorage",
                                                             L"msmq_Core",
                                                             L"msmq_HTTPSupport",
                                                             L"msmq_TriggersService",
                                                             L"WMPOCM",
                                                             L"NetServices",
                                                             L"BEACON",
                                                             L"P2P",
                                                             L"UPNP",
                                                             L"SimpTcp",
                                                             L"Iprip",
                                                             L"IndexSrv_System",
                                                             L"Fax",
                                                             L"NetOC",
                                                             L"WBEMSNMP",
                                                             L"SNMP",
                                                             L"AccessUtil",
                                                             L"Games",
                                                             L"ZoneGames",
                                                             L"Solitaire",
                                                             L"Spider",
                                                             L"Minesweeper",
                                                             L"Freecell",
                                                             L"Hearts",
                                                             L"AccessTop",
                                                             L"Paint",
                                                             L"Calc",
                                                             L"Clipbook",
                                                             L"CharMap",
                                                             L"MousePoint",
                                                             L"Deskpaper",
                                                             L"Templates",
                                                             L"TerminalServer",
                                                             L"TSWebClient"};

std::wstring_view Unquoted(std::wstring_view text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        return text.substr(1, text.size() - 2);
    return text;
}

std::vector<std::wstring_view> Fields(std::wstring_view value) {
    std::vector<std::wstring_view> fields;
    for (size_t start = 0;;) {
        size_t comma = value.find(L',', start);
        fields.push_back(value.substr(start, comma - start));
        if (comma == value.npos)
            return fields;
        start = comma + 1;
    }
}

// Every occurrence of token in text, in any case, replaced by value. Case
// folding maps code unit to code unit, so positions in the folded text are
// positions in the text.
void ReplaceText(std::wstring& text, std::wstring_view token, std::wstring_view value) {
    const std::wstring upperToken = UpperCase(token);
    std::wstring upperText = UpperCase(text);
    for (size_t at = upperText.find(upperToken); at != upperText.npos;
         at = upperText.find(upperToken, at + value.size())) {
        text.replace(at, token.size(), value);
        upperText.replace(at, token.size(), std::wstring(value.size(), L'\0'));
    }
}

} // namespace

TSysocFile ParseSysocFile(const std::wstring& component, std::wstring_view value,
                          const std::wstring& infFolder) {
    TSysocFile file{.FComponent = component};
    const auto fields = Fields(value);
    if (fields.size() < 4)
        return file;
    file.FDllName = Trim(fields[0]);
    file.FDllEntryPoint = Trim(fields[1]);
    std::wstring infName(fields[2]);
    std::erase_if(infName, [](wchar_t c) { return c == L' ' || c == L'\t'; });
    file.FFileName = infFolder + infName;
    file.FHidden = ContainsText(fields[3], L"hide") && !SameText(component, L"TerminalServer");
    return file;
}

TSysocStrings ReadSysocStrings(const TSysOCIniFile& ini) {
    std::vector<std::wstring> keys;
    ini.ReadSection(L"Strings", keys);
    TSysocStrings strings;
    for (const std::wstring& key : keys) {
        // Kept as "name=value" text is: a name ends at its first "=".
        std::wstring pair = key + L"=" + std::wstring(Unquoted(ini.ReadString(L"Strings", key, L"")));
        size_t equals = pair.find(L'=');
        strings.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    }
    return strings;
}

std::wstring SubstituteSysocText(std::wstring_view text, const TSysocStrings& strings) {
    const std::wstring_view asRead = Unquoted(text);
    std::wstring result(asRead);
    for (const auto& [name, value] : strings) {
        const std::wstring token = L"%" + name + L"%";
        if (ContainsText(asRead, token))
            ReplaceText(result, token, value);
    }
    return result;
}

std::vector<TSysocComp> ReadSysocComps(const TSysOCIniFile& ini, const std::wstring& package) {
    std::vector<TSysocComp> comps;
    if (!ini.SectionExists(L"Optional Components"))
        return comps;
    const TSysocStrings strings = ReadSysocStrings(ini);
    std::vector<std::wstring> names;
    ini.ReadSection(L"Optional Components", names);
    for (const std::wstring& name : names) {
        if (!ini.SectionExists(name))
            continue;
        auto substituted = [&](const wchar_t* key) {
            return SubstituteSysocText(ini.ReadString(name, key, L""), strings);
        };
        comps.push_back({.FName = name,
                         .FIconIndex = substituted(L"IconIndex"),
                         .FParent = ini.ReadString(name, L"Parent", L""),
                         .FDescription = substituted(L"OptionDesc"),
                         .FSize = ini.ReadString(name, L"SizeApproximation", L""),
                         .FTip = substituted(L"Tip"),
                         .FPackage = package});
    }
    return comps;
}

int64_t SysocInstallSize(std::wstring_view size) {
    const std::string digits = Narrow(size);
    int32_t number = 0;
    const char* first = digits.data() + (digits.starts_with('+') ? 1 : 0);
    const char* last = digits.data() + digits.size();
    auto [end, error] = std::from_chars(first, last, number);
    return error == std::errc() && end == last && first != last ? number : 0;
}

bool IsNetworkComponent(std::wstring_view name) {
    return std::ranges::any_of(NetworkComponents, [&](std::wstring_view n) { return SameText(n, name); });
}

bool IsTrustedComponent(std::wstring_view name) {
    return std::ranges::find(TrustedComponents, name) != TrustedComponents.end();
}

std::vector<std::wstring> SysocAnswerFileLines(const std::wstring& name, bool enable) {
    if (IsNetworkComponent(name))
        return {L"[NetOptionalComponents]", Format(L"%s=%s", name, enable ? L"1" : L"0")};
    return {L"[Components]", Format(L"%s=%s", name, enable ? L"on" : L"off")};
}

std::wstring SysocCommandLine(const std::wstring& tool, const std::wstring& masterList,
                              const std::wstring& answerFile) {
    return Format(L"%s /q /i:\"%s\" /u:\"%s\"", tool, masterList, answerFile);
}

} // namespace velmora
