// Where the editor looks for its data: the order of the folders tried and
// what counts as a folder holding the core files. The whole search, with the
// program installed and with no data anywhere, is checked against the real
// installed program by scripts/check-install.sh.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/gui/TestEnvironment.h"
#include "shell/run_folder.h"
#include "sound/CoreFiles.h"

using gui::TestEnvironment;
using Folders = std::vector<std::string>;

TEST(DataFolder, WorkingDirectoryFirstThenProgramFolderThenInstalledDataFolder) {
    EXPECT_EQ(datafolder::candidates("/home/ann/songs", "/usr/bin/orvella", "../share/orvella"),
              (Folders{"/home/ann/songs", "/usr/bin", "/usr/share/orvella"}));
    // Relative steps are resolved, so the alert names plain folders.
    EXPECT_EQ(datafolder::candidates("/w/./x/", "/opt/o/bin/../bin/orvella", "../share/orvella"),
              (Folders{"/w/x", "/opt/o/bin", "/opt/o/share/orvella"}));
    // Started from its own folder (build/run): tried once.
    EXPECT_EQ(datafolder::candidates("/src/build/run", "/src/build/run/orvella", "../share/orvella"),
              (Folders{"/src/build/run", "/src/build/share/orvella"}));
    // An absolute data folder is taken as it is.
    EXPECT_EQ(datafolder::candidates("/w", "/usr/bin/orvella", "/srv/orvella"),
              (Folders{"/w", "/usr/bin", "/srv/orvella"}));
    // Its own location unknown: only the working directory.
    EXPECT_EQ(datafolder::candidates("/w", "", "../share/orvella"), (Folders{"/w"}));
    EXPECT_EQ(datafolder::candidates("/", "/orvella", "../share/orvella"), (Folders{"/", "/share/orvella"}));
}

TEST(DataFolder, AFolderHoldsTheDataOnlyWithEveryCoreFileInItsBin) {
    TestEnvironment env;
    EXPECT_TRUE(holdsCoreFiles(env.work));          // the source tree's data
    EXPECT_FALSE(holdsCoreFiles(env.root));         // no bin at all

    std::string partial = env.root + "/partial";
    ASSERT_EQ(mkdir(partial.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((partial + "/bin").c_str(), 0755), 0);
    for (const CoreFileSlice& slice : coreFileSlices) {
        EXPECT_FALSE(holdsCoreFiles(partial)) << "before " << slice.name;
        std::string path = partial + "/bin/" + slice.name;
        // A folder by a core file's name does not count.
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        EXPECT_FALSE(holdsCoreFiles(partial));
        ASSERT_EQ(rmdir(path.c_str()), 0);
        ASSERT_TRUE(TestEnvironment::writeFile(path, "x"));
    }
    EXPECT_TRUE(holdsCoreFiles(partial));
}
