// Lays out one app package in the prefix it runs in, as Windows records an
// installed one, for the sample machine:
//   LayAppPackage NAME "DISPLAY NAME" "PUBLISHER DISPLAY NAME" VERSION ["DESCRIPTION"]
#include "tests/kits/AppPackages.h"

#include <cstdio>
#include <exception>

int wmain(int argc, wchar_t** argv) {
    if (argc < 5 || argc > 6) {
        std::fputws(L"usage: LayAppPackage NAME DISPLAYNAME PUBLISHERDISPLAYNAME VERSION [DESCRIPTION]\n",
                    stderr);
        return 2;
    }
    velmora::testing::TTestPackage package;
    package.Name = argv[1];
    package.DisplayName = argv[2];
    package.PublisherDisplayName = argv[3];
    package.Version = argv[4];
    if (argc == 6)
        package.Description = argv[5];
    try {
        velmora::testing::InstallTestPackage(package);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fwprintf(stdout, L"%ls\n", package.FullName().c_str());
    return 0;
}
