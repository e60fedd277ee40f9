#include "usage/PrefetchFile.h"

#include "tests/kits/PrefetchWriter.h"
#include "usage/XpressHuffman.h"
#include "tests/TestBase.h"

#include <gmock/gmock.h>

#ifndef _WIN32
#include <cstdio>
#include <ctime>
#include <unistd.h>
#endif

namespace velmora {
namespace {

using ::testing::ElementsAre;
using testing::TPrefetchDescription;
using testing::WritePrefetchImage;

constexpr uint32_t Versions[] = {17, 23, 26, 30};

TPrefetchDescription Sample(uint32_t version) {
    TPrefetchDescription d;
    d.Version = version;
    d.ExecutableName = L"EDIT.EXE";
    d.Files = {L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL",
               L"\\DEVICE\\HARDDISKVOLUME2\\TOOLS\\EDIT.EXE",
               L"\\DEVICE\\HARDDISKVOLUME2\\TOOLS\\LANG\\DE.DLL"};
    d.RunCount = 7;
    d.LastRuns = {0x01D9A1B2C3D4E5F6, 0x01D9A1B2C3000000, 0x01D9A1B200000000};
    return d;
}

TPrefetchRecord Parse(const std::vector<uint8_t>& image) {
    return ParsePrefetch(image.data(), image.size());
}

void Put32(std::vector<uint8_t>& image, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = uint8_t(value >> 8 * i);
}

// Every version read in full, and every cut of it refused (a buffer of
// exactly the cut's size, so that a read past it is caught).
TEST(PrefetchFileTest, EveryVersionGivesNameRunsLastRunAndLoadedFilesAndEveryCutIsAFormatError) {
    for (uint32_t version : Versions) {
        SCOPED_TRACE(version);
        const TPrefetchDescription d = Sample(version);
        const std::vector<uint8_t> image = WritePrefetchImage(d);
        const TPrefetchRecord record = Parse(image);
        EXPECT_EQ(record.Version, version);
        EXPECT_EQ(record.ExecutableName, L"EDIT.EXE");
        EXPECT_EQ(record.ExecutablePath, d.Files[1]);
        EXPECT_EQ(record.RunCount, 7);
        EXPECT_EQ(record.LastRun, d.LastRuns[0]);
        EXPECT_EQ(record.Files, d.Files);
        for (size_t size = 0; size < image.size(); ++size) {
            const std::vector<uint8_t> cut(image.begin(), image.begin() + size);
            EXPECT_THROW(ParsePrefetch(cut.data(), cut.size()), EPrefetchFormat) << size << " bytes";
        }
    }
}

TEST(PrefetchFileTest, NameListRules) {
    TPrefetchDescription d = Sample(23);
    // The executable's path is found whatever its case; the list ends at an empty entry.
    d.ExecutableName = L"Edit.exe";
    d.Files = {L"\\DEVICE\\HARDDISKVOLUME2\\TOOLS\\EDIT.EXE.MUI",
               L"\\DEVICE\\HARDDISKVOLUME2\\TOOLS\\EDIT.EXE", L"", L"\\DEVICE\\HARDDISKVOLUME2\\HIDDEN.DLL"};
    TPrefetchRecord record = Parse(WritePrefetchImage(d));
    EXPECT_EQ(record.ExecutablePath, L"\\DEVICE\\HARDDISKVOLUME2\\TOOLS\\EDIT.EXE");
    EXPECT_THAT(record.Files, ElementsAre(d.Files[0], d.Files[1]));

    // Without its entry the executable is its name alone; the header keeps 29 characters.
    d.ExecutableName = L"A_PROGRAM_WITH_A_LONG_NAME_X.EXE";
    d.Files = {L"\\DEVICE\\HARDDISKVOLUME2\\NTDLL.DLL"};
    record = Parse(WritePrefetchImage(d));
    EXPECT_EQ(record.ExecutableName, L"A_PROGRAM_WITH_A_LONG_NAME_X.");
    EXPECT_EQ(record.ExecutablePath, record.ExecutableName);
}

TEST(PrefetchFileTest, FormsAreToldApartByTheirSignatures) {
    const std::vector<uint8_t> image = WritePrefetchImage(Sample(30));
    const uint8_t compressed[] = {'M', 'A', 'M', 4, 0x34, 0x12, 0x01, 0x00, 0xAA};
    const uint8_t otherMam[] = {'M', 'A', 'M', 0x84, 0, 0, 0, 0};
    for (auto [bytes, size, isImage, isCompressed] : {std::tuple{image.data(), image.size(), true, false},
                                                      {compressed, sizeof compressed, false, true},
                                                      {compressed, size_t(3), false, false},
                                                      {otherMam, sizeof otherMam, false, false}}) {
        EXPECT_EQ(IsPrefetchImage(bytes, size), isImage) << size;
        EXPECT_EQ(IsCompressedPrefetch(bytes, size), isCompressed) << size;
    }
    EXPECT_EQ(CompressedPrefetchSize(compressed, sizeof compressed), 0x11234u);
    EXPECT_THROW(CompressedPrefetchSize(compressed, 7), EPrefetchFormat);
}

// A name list outside the file or of odd size and another signature are
// format errors; an unknown version is not supported.
TEST(PrefetchFileTest, ADamagedOrUnknownHeaderIsRefused) {
    const std::vector<uint8_t> image = WritePrefetchImage(Sample(26));
    const uint32_t size = uint32_t(image.size());
    const struct {
        uint32_t At, Value, SizeValue;
        const char* Message;
    } cases[] = {
        {0x64, size - 8, 10, "outside the file"},
        {0x64, size + 2, 0, "outside the file"},
        {0x64, 0xFFFFFFF0, 0x20, "outside the file"},
        {0x64, 0x100, 0xFFFFFFFE, "outside the file"},
        {0x64, 0x100, 7, "odd size"},
        {4, 0x41434358, 0, "signature"},
        {0, 31, 0, "not supported: AVersion: 31"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bad = image;
        Put32(bad, c.At, c.Value);
        if (c.At == 0x64)
            Put32(bad, 0x68, c.SizeValue);
        std::string refusal = "read";
        try {
            Parse(bad);
        } catch (const EPrefetchFormat& e) {
            refusal = e.what();
        } catch (const EPrefetchNotSupported& e) {
            refusal = "not supported: " + std::string(e.what());
        }
        // The version's message in full, the format errors' in part.
        EXPECT_TRUE(c.At == 0 ? refusal == c.Message : refusal.find(c.Message) != std::string::npos)
            << refusal << " for " << c.Value << " at " << c.At;
    }
}

TEST(PrefetchFileTest, DevicePathsBecomeDrivePathsThroughTheVolumeMap) {
    const std::map<std::wstring, std::wstring> volumes = {{L"HARDDISKVOLUME2", L"C:"},
                                                          {L"01d2c3b4a5968778-5a3c10f2", L"D:\\Mounted"}};
    EXPECT_EQ(TranslateDevicePath(L"\\DEVICE\\HARDDISKVOLUME2\\TOOLS\\EDIT.EXE", volumes),
              L"C:\\TOOLS\\EDIT.EXE");
    EXPECT_EQ(TranslateDevicePath(L"\\Device\\HarddiskVolume2\\Tools\\Edit.exe", volumes),
              L"C:\\Tools\\Edit.exe");
    EXPECT_EQ(TranslateDevicePath(L"\\DEVICE\\HARDDISKVOLUME2", volumes), L"C:");
    EXPECT_EQ(TranslateDevicePath(L"\\VOLUME{01d2c3b4a5968778-5a3c10f2}\\APP\\RUN.EXE", volumes),
              L"D:\\Mounted\\APP\\RUN.EXE");
    // Unmapped volumes, an unclosed identifier and other paths stay as they are.
    for (const wchar_t* kept :
         {L"\\DEVICE\\HARDDISKVOLUME7\\TOOLS\\EDIT.EXE", L"\\DEVICE\\HARDDISKVOLUME22\\X.EXE",
          L"\\VOLUME{01D2C3B4A5968778-5A3C10F2}\\APP\\RUN.EXE", L"\\VOLUME{01d2c3b4a5968778-5a3c10f2\\APP",
          L"C:\\TOOLS\\EDIT.EXE", L"\\DEVICE"})
        EXPECT_EQ(TranslateDevicePath(kept, volumes), kept);
}

#ifndef _WIN32
// "Jun 18, 2023 07:01:54.590053400 UTC", as the independent reader writes a file time.
std::string FileTimeText(uint64_t fileTime) {
    const std::time_t seconds = std::time_t(fileTime / 10000000 - 11644473600);
    char text[64];
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    size_t n = std::strftime(text, sizeof text, "%b %d, %Y %H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%09u UTC", unsigned(fileTime % 10000000 * 100));
    return text;
}

// The "name : value" lines of sccainfo's report, in order.
std::vector<std::pair<std::string, std::string>> ReadWithSccaInfo(const std::vector<uint8_t>& image) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("velmora-prefetch-" + std::to_string(getpid()) + ".pf");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    std::vector<std::pair<std::string, std::string>> lines;
    FILE* report = popen(("sccainfo '" + file.string() + "' 2>&1").c_str(), "r");
    if (!report)
        throw std::runtime_error("cannot run sccainfo");
    char line[1024];
    while (std::fgets(line, sizeof line, report)) {
        // "\tName\t\t\t: value": names may hold ": " themselves ("Filename: 1").
        const std::string text(line);
        const size_t separator = text.find("\t: ");
        if (text.front() != '\t' || separator == std::string::npos)
            continue;
        const std::string name = text.substr(1, separator);
        lines.emplace_back(name.substr(0, name.find_last_not_of('\t') + 1),
                           text.substr(separator + 3, text.find_last_not_of("\r\n") - separator - 2));
    }
    const int status = pclose(report);
    std::filesystem::remove(file);
    EXPECT_EQ(status, 0) << "sccainfo failed (./run deps installs libscca-utils)";
    return lines;
}

std::vector<std::string> ValuesOf(const std::vector<std::pair<std::string, std::string>>& lines,
                                  const std::string& prefix) {
    std::vector<std::string> values;
    for (const auto& [name, value] : lines)
        if (name.starts_with(prefix))
            values.push_back(value);
    return values;
}

// The fields both forms share, as the independent reader reports them.
void ExpectReport(const std::vector<std::pair<std::string, std::string>>& lines,
                  const TPrefetchRecord& record) {
    EXPECT_THAT(ValuesOf(lines, "Format version"), ElementsAre(std::to_string(record.Version)));
    EXPECT_THAT(ValuesOf(lines, "Executable filename"), ElementsAre(Narrow(record.ExecutableName)));
    EXPECT_THAT(ValuesOf(lines, "Run count"), ElementsAre(std::to_string(record.RunCount)));
    std::vector<std::string> files;
    for (const std::wstring& file : record.Files)
        files.push_back(Narrow(file));
    EXPECT_EQ(ValuesOf(lines, "Filename:"), files);
}

// Every version; version 30 also in the compressed form as the encoder kit
// writes it, over several 64 KiB blocks: the independent reader unpacks it to
// the same file, and so does ours.
TEST(PrefetchFileTest, TheIndependentReaderSeesWhatTheReaderSees) {
    for (uint32_t version : Versions) {
        SCOPED_TRACE(version);
        TPrefetchDescription d = Sample(version);
        for (int i = 0; version == 30 && i < 1500; ++i)
            d.Files.push_back(
                Format(L"\\DEVICE\\HARDDISKVOLUME2\\PROGRAM FILES\\VENDOR %d\\LIBRARY%d.DLL", i % 37, i));
        const std::vector<uint8_t> image = WritePrefetchImage(d);
        const TPrefetchRecord record = Parse(image);
        EXPECT_EQ(record.Files, d.Files);
        const auto lines = ReadWithSccaInfo(image);
        ExpectReport(lines, record);
        const std::vector<std::string> lastRuns = ValuesOf(lines, "Last run time");
        ASSERT_EQ(lastRuns.size(), version >= 26 ? 8u : 1u);
        EXPECT_EQ(lastRuns[0], FileTimeText(record.LastRun));
        if (version >= 26) {
            EXPECT_EQ(lastRuns[2], FileTimeText(d.LastRuns[2]));
        }
        EXPECT_THAT(ValuesOf(lines, "Device path"), ElementsAre(Narrow(d.Volume.DevicePath)));
        EXPECT_THAT(ValuesOf(lines, "Serial number"), ElementsAre("0x5a3c10f2"));
        EXPECT_THAT(ValuesOf(lines, "Creation time"), ElementsAre(FileTimeText(d.Volume.CreationTime)));
        if (version != 30)
            continue;
        ASSERT_GT(image.size(), 3u * 65536);
        const std::vector<uint8_t> packed = testing::CompressPrefetchImage(image);
        ASSERT_TRUE(IsCompressedPrefetch(packed.data(), packed.size()));
        std::vector<uint8_t> unpacked(CompressedPrefetchSize(packed.data(), packed.size()));
        ASSERT_TRUE(DecompressXpressHuffman(packed.data() + CompressedPrefetchHeaderSize,
                                            packed.size() - CompressedPrefetchHeaderSize, unpacked.data(),
                                            unpacked.size()));
        EXPECT_EQ(unpacked, image);
        ExpectReport(ReadWithSccaInfo(packed), record);
    }
}
#endif

} // namespace
} // namespace velmora
