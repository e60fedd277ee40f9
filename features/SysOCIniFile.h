#pragma once
// Reader of setup information files (the master list of optional components
// and the components' own files) with their reading rules: ";" starts a
// comment, a section name may occur several times, a key with two or more
// "=" is the whole line. Portable; only loading a file asks the OS.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TSysOCIniFile {
public:
    TSysOCIniFile() = default;
    explicit TSysOCIniFile(std::wstring_view text);
    // The text of a file's bytes: UTF-16 after its byte-order mark, UTF-8
    // after its own, else the system's ANSI code page.
    static TSysOCIniFile FromBytes(std::string_view bytes);
    // Larger files are refused unread: setup information files stay far below.
    static constexpr uint64_t MaxFileSize = 4u << 20;
    // A file that cannot be read, or is refused (logged), gives an empty reader.
    static TSysOCIniFile Load(const std::wstring& fileName);

    // Adds the keys of every line of every occurrence of the section.
    void ReadSection(std::wstring_view section, std::vector<std::wstring>& keys) const;
    // The value of the section's first line with that key (ignoring case).
    std::wstring ReadString(std::wstring_view section, std::wstring_view name,
                            std::wstring_view defaultValue) const;
    bool SectionExists(std::wstring_view section) const;

private:
    // Calls visit(key, value) for the non-empty lines of every occurrence of
    // the section until it returns false.
    template <class Visit> void ForEachLine(std::wstring_view section, Visit visit) const;
    static std::wstring AnsiText(std::string_view bytes);
    // True, logged, for a file of more than MaxFileSize bytes.
    static bool Refused(const std::wstring& fileName, uint64_t size);

    std::vector<std::wstring> FStrings;
};

} // namespace velmora
