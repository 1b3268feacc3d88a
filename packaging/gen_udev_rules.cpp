// Build-time generator: writes the package's udev rules file from the IC type table;
// with a GROUP, the station service's file that gives the nodes to that group.

#include <cstdio>
#include <exception>
#include <fstream>

#include "production/udev_rules.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT [GROUP]\n", argv[0]);
        return 2;
    }
    try {
        const std::string text =
            argc == 3 ? bw::StationUdevRulesFile(argv[2]) : bw::UdevRulesFile();
        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
