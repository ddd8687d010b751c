// Saving a file keeps what the user set up around it: its mode (a .cfg holds
// the SIM PINs), the umask for a new file, and a symbolic link to it.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/FileIO.h"
#include "config/VantrixCfg.h"
#include "remote/ConnectDsc.h"
#include "tests/support/FakeUI.h"
#include "tests/support/TempDir.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> v;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') v.emplace_back(e->d_name);
        ::closedir(d);
    }
    std::sort(v.begin(), v.end());
    return v;
}

// The umask for one test, put back afterwards.
struct Umask {
    mode_t old;
    explicit Umask(mode_t m) : old(::umask(m)) {}
    ~Umask() { ::umask(old); }
};

struct FileModes : ::testing::Test {
    TempDir dir;
    FakeUI ui;
    CVantrixCfg doc{ui};
};

}  // namespace

// A 0600 .cfg saved again became 0644, world-readable with its PINs; new
// files ignored the umask.
TEST_F(FileModes, ExistingFileKeepsItsModeAndNewFilesFollowTheUmask) {
    const std::string cfg = dir.File("private.cfg");
    {
        Umask u(022);
        ASSERT_TRUE(doc.StoreFile(cfg));
        EXPECT_EQ(ModeOf(cfg), 0644u);
        ASSERT_EQ(::chmod(cfg.c_str(), 0600), 0);
        ASSERT_TRUE(doc.StoreFile(cfg));
        EXPECT_EQ(ModeOf(cfg), 0600u);
        ASSERT_EQ(::chmod(cfg.c_str(), 0640), 0);
        ASSERT_TRUE(WriteFileAtomic(cfg, "x", 1));
        EXPECT_EQ(ModeOf(cfg), 0640u);
    }
    {
        Umask u(077);
        ASSERT_TRUE(doc.StoreFile(dir.File("new.cfg")));
        EXPECT_EQ(ModeOf(dir.File("new.cfg")), 0600u);
    }
    {
        // The PIN list is private whatever the umask allows.
        Umask u(0);
        CConnectDscMng conns;
        conns.Load(dir.File("Connection.dat"));
        ASSERT_EQ(conns.Save(dir.File("Connection.dat")), 1);
        EXPECT_EQ(ModeOf(dir.File("Connection.dat")), 0600u);
        ASSERT_TRUE(WriteFileAtomic(dir.File("open.txt"), "x", 1));
        EXPECT_EQ(ModeOf(dir.File("open.txt")), 0666u);
    }
    // No temporary file is left behind.
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"Connection.dat", "new.cfg", "open.txt", "private.cfg"}));
}

// A .cfg reached through a link was replaced by a regular file, and the
// link's target kept the old content.
TEST_F(FileModes, SaveThroughALinkWritesItsTargetAndTheLinkStays) {
    ASSERT_EQ(::mkdir(dir.File("store").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.File("links").c_str(), 0755), 0);
    const std::string target = dir.File("store/real.cfg");
    WriteAll(target, "old", 3);
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    // A chain of two links, the first one relative to its own directory.
    ASSERT_EQ(::symlink(target.c_str(), dir.File("store/second.cfg").c_str()), 0);
    ASSERT_EQ(::symlink("../store/second.cfg", dir.File("links/my.cfg").c_str()), 0);

    ASSERT_TRUE(doc.StoreFile(dir.File("links/my.cfg")));
    struct stat st;
    ASSERT_EQ(::lstat(dir.File("links/my.cfg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::lstat(dir.File("store/second.cfg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadAll(target).size(), size_t(CVantrixCfg::kFileSize));
    EXPECT_EQ(ModeOf(target), 0600u);
    EXPECT_EQ(Names(dir.File("links")), std::vector<std::string>{"my.cfg"});
    EXPECT_EQ(Names(dir.File("store")), (std::vector<std::string>{"real.cfg", "second.cfg"}));

    // A link to a file that does not exist yet creates it there.
    ASSERT_EQ(::symlink("later.cfg", dir.File("store/dangling.cfg").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomic(dir.File("store/dangling.cfg"), "new", 3));
    EXPECT_EQ(ReadAll(dir.File("store/later.cfg")), (std::vector<unsigned char>{'n', 'e', 'w'}));
    ASSERT_EQ(::lstat(dir.File("store/dangling.cfg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}
