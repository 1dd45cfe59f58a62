// The Desktop 6 database generator the other tests build their files with:
// a bad description or an existing file leaves nothing behind or changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/d6gen/D6Gen.h"
#include "tools/d6gen/D6TempFolder.h"

namespace {

TEST(D6GenTest, BadDescriptionsAndExistingFilesLeaveNothingBehind)
{
    D6TempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string path = folder.File("address.mdb");
    struct Case {
        const char* description;
        const char* error;
    } cases[] = {
        {"contact Record ID=1|Fist Name=Ann\n", "line 1: unknown column 'Fist Name'"},
        {"# fine\n\ncontact Record ID=x\n", "line 3: column Record ID needs a number"},
        {"category Business\n", "line 1: category needs"},
        {"frobnicate\n", "line 1: unknown directive 'frobnicate'"},
        {"generate -3\n", "line 1: generate needs"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(D6CreateDatabase(path, c.description, &error)) << c.description;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << c.description;
    }

    std::ofstream(path) << "precious";
    std::string error;
    EXPECT_FALSE(D6CreateDatabase(path, "", &error));
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        ++files;
    EXPECT_EQ(files, 1);
}

}  // namespace
