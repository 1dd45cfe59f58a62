// vw-datgen: writes a Palm Desktop address.dat from a text description.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/datgen/DatGen.h"

namespace {

void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: vw-datgen [--classic|--extended] [--random N] [--seed S] -o OUTPUT [DESCRIPTION|-]\n"
                 "Writes a Palm Desktop address.dat (classic or extended \"PalmSG Database\").\n"
                 "  -o, --output PATH   file to write\n"
                 "  --classic           classic layout (overrides the description's format)\n"
                 "  --extended          extended layout\n"
                 "  --random N          append N generated records\n"
                 "  --seed S            seed of the generated records (default 1)\n"
                 "  DESCRIPTION         text description file, - for standard input\n\n%s",
                 datgen::DescriptionHelp());
}

}  // namespace

int main(int argc, char** argv)
{
    std::string output;
    std::string input;
    long nRandom = 0;
    unsigned long nSeed = 1;
    int nFormat = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vw-datgen: %s needs a value\n", what);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        } else if (arg == "-o" || arg == "--output") {
            output = next("--output");
        } else if (arg == "--classic") {
            nFormat = 0;
        } else if (arg == "--extended") {
            nFormat = 1;
        } else if (arg == "--random") {
            nRandom = std::strtol(next("--random"), nullptr, 10);
        } else if (arg == "--seed") {
            nSeed = std::strtoul(next("--seed"), nullptr, 10);
        } else if (!arg.empty() && (arg[0] != '-' || arg == "-") && input.empty()) {
            input = arg;
        } else {
            std::fprintf(stderr, "vw-datgen: unexpected argument %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (output.empty() || nRandom < 0) {
        Usage(stderr);
        return 2;
    }

    datgen::DatDescription desc;
    if (nFormat >= 0)
        desc.format = nFormat == 0 ? datgen::DatFormat::Classic : datgen::DatFormat::Extended;
    if (!input.empty()) {
        std::stringstream text;
        if (input == "-") {
            text << std::cin.rdbuf();
        } else {
            std::ifstream in(input, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "vw-datgen: cannot read %s\n", input.c_str());
                return 1;
            }
            text << in.rdbuf();
        }
        std::string error;
        if (!datgen::ParseDescription(text.str(), desc, error)) {
            std::fprintf(stderr, "vw-datgen: %s: %s\n", input.c_str(), error.c_str());
            return 1;
        }
        if (nFormat >= 0)
            desc.format = nFormat == 0 ? datgen::DatFormat::Classic : datgen::DatFormat::Extended;
    }
    if (nRandom > 0)
        datgen::AddRandomRecords(desc, static_cast<int>(nRandom), static_cast<uint32_t>(nSeed));

    const std::vector<uint8_t> bytes = datgen::BuildFile(desc);
    if (!datgen::WriteBytesToFile(output, bytes)) {
        std::fprintf(stderr, "vw-datgen: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s: %s, %zu records, %zu bytes\n", output.c_str(),
                desc.format == datgen::DatFormat::Classic ? "classic" : "extended", desc.records.size(), bytes.size());
    return 0;
}
