#include "tools/doubles/ServicingCommands.h"

#include "platform/Format.h"
#include "platform/Paths.h"
#include "tools/doubles/ServicingStore.h"
#include "platform/XmlDocument.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace velmora::doubles {

namespace {

// The codes this double answers for a feature it does not know and an answer
// file it cannot use.
constexpr unsigned kUnknownFeature = 0x800f080c;
constexpr unsigned kBadAnswerFile = 0x800f0805;

std::wstring StateText(DWORD state) {
    switch (state) {
    case kStateEnabled:
        return L"Enabled";
    case kStateEnablePending:
        return L"Enable Pending";
    case kStateDisablePending:
        return L"Disable Pending";
    default:
        return L"Disabled";
    }
}

std::wstring Padded(const std::wstring& text, size_t width) {
    return text + std::wstring(width > text.size() ? width - text.size() : 0, L' ');
}

// "[=====        40.0%              ]": the bar the tools draw while working.
std::wstring ProgressBar(int percent) {
    constexpr size_t kWidth = 58;
    std::wstring bar(kWidth, L' ');
    std::fill_n(bar.begin(), kWidth * static_cast<size_t>(percent) / 100, L'=');
    wchar_t number[16];
    swprintf(number, 16, L"%.1f%%", static_cast<double>(percent));
    std::wstring text(number);
    std::copy(text.begin(), text.end(), bar.begin() + (kWidth - text.size()) / 2);
    return L"[" + bar + L"]\r\n";
}

struct TSelection {
    std::wstring Name;
    bool Enable = false;
    std::wstring Package;
};

// The selections of the answer file's "configure" packages; nothing (and
// the error reported) when the file is not such an answer file.
std::optional<std::vector<TSelection>> ReadSelections(const std::wstring& path, int& error) {
    TXmlElement unattend = TXmlDocument::LoadElement(path);
    if (!unattend || unattend.Name() != L"unattend") {
        error = ReportError(kBadAnswerFile, Format(L"The answer file \"%s\" cannot be read.", path));
        return std::nullopt;
    }
    std::vector<TSelection> selections;
    for (const TXmlElement& servicing : unattend.Children(L"servicing"))
        for (const TXmlElement& package : servicing.Children(L"package")) {
            if (package.Attribute(L"action") != L"configure")
                continue;
            for (const TXmlElement& selection : package.Children(L"selection")) {
                std::optional<std::wstring> name = selection.Attribute(L"name");
                std::optional<std::wstring> state = selection.Attribute(L"state");
                if (!name || (state != L"true" && state != L"false")) {
                    error = ReportError(kBadAnswerFile,
                                        Format(L"A selection in \"%s\" has no name or state.", path));
                    return std::nullopt;
                }
                selections.push_back({*name, state == L"true", {}});
            }
        }
    return selections;
}

} // namespace

void Print(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

void PrintBanner() {
    Print(L"\r\nDISM.exe test double\r\nVersion: 6.1.7601.17514\r\n\r\n");
}

int WorkWithProgress(const std::function<int()>& change) {
    for (int step = 0; step <= 5; ++step) {
        if (step > 0)
            Sleep(300);
        if (step == 3)
            if (int error = change())
                return error;
        Print(ProgressBar(step * 20));
    }
    Print(L"\r\nThe operation completed successfully.\r\n");
    return 0;
}

int ReportError(unsigned code, const std::wstring& message) {
    wchar_t number[16];
    swprintf(number, 16, code > 0xffff ? L"0x%08x" : L"%u", code);
    Print(Format(L"\r\nError: %s\r\n\r\n%s\r\n", std::wstring(number), message));
    return static_cast<int>(code);
}

int GetFeatures() {
    PrintBanner();
    if (TOperationLock::Held())
        return ReportError(kOperationBusy, L"Another servicing operation is in progress. Try again later.");
    std::wstring foundation = FoundationPackage();
    std::optional<TPackageKey> key = ParsePackageKey(foundation);
    Print(Format(L"Image Version: %s\r\n\r\nFeatures listing for package : %s\r\n\r\n",
                 key ? key->Version : std::wstring(L"unknown"), foundation));

    std::vector<TFeature> features = ListFeatures();
    const std::wstring nameCaption = L"Feature Name";
    const std::wstring stateCaption = L"State";
    size_t nameWidth = nameCaption.size();
    size_t stateWidth = stateCaption.size();
    for (const TFeature& feature : features) {
        nameWidth = std::max(nameWidth, feature.Name.size());
        stateWidth = std::max(stateWidth, StateText(feature.State).size());
    }
    std::wstring separator =
        std::wstring(nameWidth, L'-') + L" | " + std::wstring(stateWidth, L'-') + L"\r\n";
    std::wstring table =
        separator + Padded(nameCaption, nameWidth) + L" | " + stateCaption + L"\r\n" + separator;
    for (const TFeature& feature : features)
        table += Padded(feature.Name, nameWidth) + L" | " + StateText(feature.State) + L"\r\n";
    Print(table + L"\r\nThe operation completed successfully.\r\n");
    return 0;
}

int ApplyAnswerFile(const std::wstring& path) {
    PrintBanner();
    std::optional<TOperationLock> lock = TOperationLock::Take();
    if (!lock)
        return ReportError(kOperationBusy, L"Another servicing operation is in progress. Try again later.");
    int error = 0;
    std::optional<std::vector<TSelection>> selections = ReadSelections(path, error);
    if (!selections)
        return error;
    for (TSelection& selection : *selections) {
        selection.Package = PackageOfUpdate(selection.Name);
        if (selection.Package.empty())
            return ReportError(kUnknownFeature, Format(L"Feature name %s is unknown.", selection.Name));
    }
    return WorkWithProgress([&] {
        for (const TSelection& selection : *selections)
            if (!WriteUpdateState(selection.Package, selection.Name,
                                  selection.Enable ? kStateEnabled : kStateDisabled))
                return ReportError(GetLastError(),
                                   Format(L"The state of %s cannot be written.", selection.Name));
        return 0;
    });
}

} // namespace velmora::doubles
