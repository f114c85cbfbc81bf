// A file being written: it replaces its target only whole, keeps the target's
// permissions, and the command line's watch over a run's outputs goes by folder, not by
// spelling.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cli/run_outputs.h"
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

TEST_F(ScratchTest, AnOutputOfTheRunIsKnownByItsFolderWhateverItsSpelling)
{
    mkdir((folder + "out").c_str(), 0755);
    ASSERT_EQ(symlink((folder + "out").c_str(), (folder + "link").c_str()), 0);
    RunOutputs outputs(false);
    outputs.written(folder + "out/GAME.P6");
    for (const char* spelling : {"out/./GAME.P6", "link/GAME.P6", "out/../out/GAME.P6"})
        EXPECT_FALSE(outputs.refusal(folder + spelling).empty()) << spelling;
    // Case matters here, and an existing file only counts under --no-clobber.
    writeFileBytes(folder + "out/GAME.p6", Bytes());
    EXPECT_EQ(outputs.refusal(folder + "out/GAME.p6"), "");
    EXPECT_NE(RunOutputs(true).refusal(folder + "out/GAME.p6"), "");
}

}  // namespace
