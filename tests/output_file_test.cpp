// A file being written replaces its target only whole, and keeps the target's
// permissions: a private file stays private.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/output_file.h"
#include "tests/test_files.h"

namespace {

mode_t permissionsOf(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 0777 : 0;
}

TEST_F(ScratchTest, AReplacedFileKeepsItsPermissionsAndANewOneGetsThoseOfAnyNewFile)
{
    const std::string target = folder + "private.P6";
    writeFileBytes(target, Bytes(10, 1));
    chmod(target.c_str(), 0600);
    {
        OutputFile file(target, OutputKind::Conversion);
        ASSERT_TRUE(file.isOpen());
        file.write("new", 3);
        // Until it is committed, the target is the old file.
        EXPECT_EQ(readFileBytes(target), Bytes(10, 1));
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(readFileBytes(target), bytesOf("new"));
    EXPECT_EQ(permissionsOf(target), 0600u);

    const std::string fresh = folder + "fresh.P6";
    writeFileBytes(folder + "usual", Bytes());
    {
        OutputFile file(fresh, OutputKind::Conversion);
        file.put(7);
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(permissionsOf(fresh), permissionsOf(folder + "usual"));

    // Left uncommitted, it vanishes and the target stays.
    {
        OutputFile file(target, OutputKind::Conversion);
        file.write("abandoned", 9);
    }
    EXPECT_EQ(readFileBytes(target), bytesOf("new"));
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"fresh.P6", "private.P6", "usual"}));
}

}  // namespace
