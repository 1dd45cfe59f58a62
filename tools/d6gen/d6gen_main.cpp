// vw-d6gen: creates a Palm Desktop 6 contacts database (address.mdb) from a
// description file, for tests, benchmarks and the demo data.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/d6gen/D6Gen.h"

namespace {

void Usage()
{
    std::fprintf(stderr,
                 "usage: vw-d6gen [--force] [--contacts N] [--seed S] OUTPUT.mdb [DESCRIPTION | -]\n"
                 "  Creates OUTPUT.mdb (never over an existing file unless --force) and fills it\n"
                 "  from DESCRIPTION ('-' reads standard input) and with N made-up contacts.\n"
                 "  DESCRIPTION lines: info <Key>=<Value> | category <ID>|<Name>[|<Status>|<Color>]\n"
                 "                     contact <Column>=<Value>|... | generate <count> [<seed>]\n");
}

}  // namespace

int main(int argc, char** argv)
{
    bool bForce = false;
    long nContacts = 0;
    long nSeed = 1;
    std::string output;
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--force") {
            bForce = true;
        } else if ((arg == "--contacts" || arg == "--seed") && i + 1 < argc) {
            char* pszEnd = nullptr;
            const long value = std::strtol(argv[++i], &pszEnd, 10);
            if (*pszEnd != '\0' || value < 0) {
                Usage();
                return 2;
            }
            (arg == "--contacts" ? nContacts : nSeed) = value;
        } else if (arg == "-h" || arg == "--help") {
            Usage();
            return 0;
        } else if (output.empty()) {
            output = arg;
        } else if (input.empty()) {
            input = arg;
        } else {
            Usage();
            return 2;
        }
    }
    if (output.empty()) {
        Usage();
        return 2;
    }

    std::string description;
    if (input == "-") {
        description.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else if (!input.empty()) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "vw-d6gen: cannot read %s\n", input.c_str());
            return 1;
        }
        description.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (nContacts > 0)
        description += "\ngenerate " + std::to_string(nContacts) + " " + std::to_string(nSeed) + "\n";

    std::string error;
    if (!D6CreateDatabase(output, description, &error, bForce)) {
        std::fprintf(stderr, "vw-d6gen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
