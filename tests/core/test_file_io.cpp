// Saving a file keeps what the user set up around it: its mode (a .cfg holds
// the SIM PINs), the umask for a new file, a symbolic link to it, and no
// copy of it behind a killed save; on Windows its attributes.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "app/FileIO.h"
#include "tests/support/TempDir.h"
#ifdef _WIN32
// windows.h and the control panel's own headers do not meet (IDOK,
// GetTickCount): on Windows this file tests the file layer alone.
#include "app/WinPath_win32.h"
#else
#include "config/VantrixCfg.h"
#include "remote/ConnectDsc.h"
#include "sms/SMSMng.h"
#include "tests/support/FakeUI.h"
#endif

#ifdef _WIN32
// A hidden system .cfg saved again came back plain and visible: MoveFileExW
// gave it the attributes of the temporary copy.
TEST(FileModes, ExistingFileKeepsItsAttributesAndIsMarkedForBackup) {
    TempDir dir;
    const std::string cfg = dir.File("hidden.cfg");
    ASSERT_TRUE(WriteFileAtomic(cfg, "old", 3));
    const std::wstring wide = WidePath(cfg);
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(WriteFileAtomic(cfg, "new", 3));
    EXPECT_EQ(GetFileAttributesW(wide.c_str()),
              DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(ReadAll(cfg), (std::vector<unsigned char>{'n', 'e', 'w'}));
    EXPECT_FALSE(FileExists(cfg + ".part"));
}
#else
namespace {

struct FileModes : ::testing::Test {
    TempDir dir;
    FakeUI ui;
    CVantrixCfg doc{ui};
};

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

// A save killed half way left a full copy (PINs and all) beside the target
// each time, and nothing removed them; two saves at once could write into
// one temporary file. Now a killed save leaves one, the next save of that
// target takes it away, and concurrent saves each rename a whole file.
TEST_F(FileModes, KilledSavesLeaveOneCopyAndConcurrentSavesStayWhole) {
    const std::string target = dir.File("site.cfg");
    WriteAll(target, "old", 3);
    for (int round = 0; round < 3; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CAtomicFile f(target);
            if (f.Create() && f.Write("half", 4)) ::raise(SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"site.cfg", "site.cfg.part"})) << round;
        EXPECT_EQ(ReadAll(target), (std::vector<unsigned char>{'o', 'l', 'd'}));
    }
    ASSERT_TRUE(WriteFileAtomic(target, "new", 3));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"site.cfg"});

    // Four processes save the same target 50 times each, every content a
    // different length: the target is always one of them whole.
    std::vector<pid_t> savers;
    for (int p = 0; p < 4; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string content(size_t(1000 + p), char('a' + p));
            for (int i = 0; i < 50; ++i)
                if (!WriteFileAtomic(target, content.data(), content.size())) ::_exit(2);
            ::_exit(0);
        }
        savers.push_back(child);
    }
    for (int i = 0; i < 200; ++i) {
        const auto bytes = ReadAll(target);
        const size_t n = bytes.size();
        if (n == 3) continue;  // not saved yet
        ASSERT_TRUE(n >= 1000 && n <= 1003) << n;
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 'a' + int(n - 1000)), long(n));
    }
    for (pid_t child : savers) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"site.cfg"});
}

// The copy of a damaged store was made 0644 beside a 0600 SMS.dat.
TEST_F(FileModes, StoreCopyHasTheModeOfTheStore) {
    Umask u(022);
    const std::string store = dir.File("SMS.dat");
    WriteAll(store, "\x01\0\0\0\x09\0\0\0\0\0\0\0\0\0\0\0", 16);  // nine records promised, none there
    ASSERT_EQ(::chmod(store.c_str(), 0600), 0);
    CSMSMng sms(ui, store);
    EXPECT_EQ(sms.Load(), 0);
    ASSERT_EQ(sms.Save(), 1);
    EXPECT_EQ(ModeOf(store + ".bak"), 0600u);
    EXPECT_EQ(ModeOf(store), 0600u);
}
#endif
