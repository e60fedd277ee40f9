// Runs a libFuzzer-style target where libFuzzer is not available: over every
// file of the corpus folders given, then over pseudo-random inputs (fixed
// seed, so that a failure repeats).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    size_t files = 0;
    for (int i = 1; i < argc; ++i)
        for (auto& entry : std::filesystem::directory_iterator(argv[i])) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++files;
        }
    std::mt19937 random(20261205);
    // Text made mostly of the characters the rules look at.
    const char16_t alphabet[] = u"Error: 0x(/)?\r\n 1a";
    constexpr size_t alphabetSize = sizeof alphabet / sizeof alphabet[0] - 1;
    const int runs = 20000;
    for (int run = 0; run < runs; ++run) {
        std::vector<uint8_t> bytes(1 + 2 * (random() % 200));
        bytes[0] = static_cast<uint8_t>(random());
        for (size_t i = 1; i + 1 < bytes.size(); i += 2) {
            char16_t c = random() % 8 ? alphabet[random() % alphabetSize] : static_cast<char16_t>(random());
            bytes[i] = static_cast<uint8_t>(c);
            bytes[i + 1] = static_cast<uint8_t>(c >> 8);
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%zu corpus files and %d random inputs passed\n", files, runs);
    return 0;
}
