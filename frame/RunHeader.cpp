#include "frame/RunHeader.h"

#include "platform/Format.h"
#include "platform/Thread.h"

namespace velmora {

std::wstring RunHeaderSeparator() {
    return std::wstring(RunHeaderSeparatorWidth, L'-');
}

void WriteSystemInfo(const TRunHeaderInfo& info, const TLineSink& sink) {
    auto line = [&](std::wstring_view format, const std::optional<std::wstring>& value) {
        if (value)
            sink(Format(format, *value));
    };
    auto flag = [&](std::wstring_view format, std::optional<bool> value) {
        if (value)
            sink(Format(format, *value));
    };
    sink(RunHeaderSeparator());
    sink(Format(L"System info at %s.", info.Time));
    sink(RunHeaderSeparator());
    line(L"Version:        %s", info.Version);
    line(L"Architecture:   %s", info.Architecture);
    line(L"Service Pack:   %s", info.ServicePack);
    line(L"Edition:        %s", info.Edition);
    for (auto& module : info.ModuleVersions)
        sink(Format(L"%s: %d.%d", module.FileName, module.Major, module.Minor));
    flag(L"IsWow64Process: %s", info.IsWow64Process);
    sink(RunHeaderSeparator());
    line(L"User name       : %s", info.UserName);
    flag(L"User is admin   : %s", info.UserIsAdmin);
    line(L"Product version : %s", info.ProductVersion);
    line(L"Program version : %s", info.ProgramVersion);
    sink(RunHeaderSeparator());
}

void DumpRegistryKey(const TRegKeySnapshot& key, const TRegistryKey& name, const TLineSink& sink) {
    TThread::CheckTerminated();
    sink(name.Text());
    for (const auto& value : key.Values) {
        std::wstring text;
        std::wstring_view typeName;
        switch (value.Type) {
        case RegTypeString:
            typeName = L"REG_SZ";
            text = DecodeRegText(value.Data);
            break;
        case RegTypeMultiString:
            typeName = L"REG_MULTISZ";
            for (const auto& s : DecodeRegMultiText(value.Data))
                text += (text.empty() ? L"" : L", ") + s;
            break;
        case RegTypeNumber: {
            auto number = DecodeRegNumber(value.Data);
            if (!number)
                continue;
            typeName = L"REG_DWORD";
            text = std::to_wstring(*number);
            break;
        }
        default:
            continue;
        }
        sink(Format(L"%s (%s) = \"%s\"", value.Name, typeName, text));
    }
    sink(L"");
    for (const auto& subKey : key.SubKeys) {
        if (subKey->ValuesRead)
            DumpRegistryKey(*subKey, {name.View, name.Root, name.Path + L"\\" + subKey->Name}, sink);
    }
}

TRunHeader ReadRunHeader() {
    TRunHeader header;
    // Logging never raises into the reading run: a part that fails is left out.
    try {
        header.Info = GatherRunHeaderInfo();
    } catch (...) {
    }
    try {
        auto walk = TRegistrySnapshot::Current();
        if (!walk)
            walk = std::make_shared<TRegistrySnapshot>();
        for (const TRegistryKey& place : UninstallRegistryPlaces()) {
            TThread::CheckTerminated();
            if (auto key = walk->Read(place))
                header.Uninstall.push_back({place, std::move(key)});
        }
    } catch (const EAbort&) {
        throw;
    } catch (...) {
    }
    return header;
}

void WriteRunHeader(const TRunHeader& header, const TLineSink& sink) {
    try {
        if (header.Info)
            WriteSystemInfo(*header.Info, sink);
        for (const auto& dumped : header.Uninstall)
            DumpRegistryKey(*dumped.Key, dumped.Name, sink);
        sink(RunHeaderSeparator());
    } catch (const EAbort&) {
        throw;
    } catch (...) {
    }
}

} // namespace velmora
