#include <Entry.h>
#include <FileIO.h>
#include <FindDirectory.h>
#include <Path.h>
#include <ReplacementFile.h>
#include <TestSupport.h>
#include <image.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace suite_test;

namespace {

std::string found(directory_which which, bool create = false)
{
    BPath path;
    if (find_directory(which, &path, create) != B_OK)
        return "(failed)";
    return path.Path();
}

TEST(FindDirectory, MapsTheUserFolders)
{
    TempHome home;
    ScopedEnv h("HOME", home.Path().c_str());
    ScopedEnv x("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(found(B_USER_LIB_DIRECTORY), home / ".local/lib");
    EXPECT_EQ(found(B_USER_SETTINGS_DIRECTORY), home / ".config");
    EXPECT_EQ(found(B_USER_DIRECTORY), home.Path());
    // Without create, the folder is named but not made.
    EXPECT_FALSE(file_exists(home / ".local/lib"));
    {
        ScopedEnv config("XDG_CONFIG_HOME", (home / "cfg").c_str());
        EXPECT_EQ(found(B_USER_SETTINGS_DIRECTORY), home / "cfg");
        EXPECT_EQ(found(B_USER_LIB_DIRECTORY), home / ".local/lib");
    }
    {
        // A relative XDG_CONFIG_HOME is not a valid setting.
        ScopedEnv config("XDG_CONFIG_HOME", "relative/cfg");
        EXPECT_EQ(found(B_USER_SETTINGS_DIRECTORY), home / ".config");
    }
    char small[8];
    EXPECT_EQ(find_directory(B_USER_LIB_DIRECTORY, -1, false, small, sizeof small), B_NAME_TOO_LONG);
    EXPECT_EQ(find_directory(static_cast<directory_which>(1), -1, false, small, sizeof small), B_BAD_VALUE);
    EXPECT_EQ(find_directory(B_USER_LIB_DIRECTORY, static_cast<BPath*>(nullptr)), B_BAD_VALUE);
}

TEST(FindDirectory, CreateMakesTheFolderWithItsParents)
{
    TempHome home;
    ScopedEnv h("HOME", home.Path().c_str());
    ScopedEnv x("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(found(B_USER_LIB_DIRECTORY, true), home / ".local/lib");
    struct stat st;
    ASSERT_EQ(stat((home / ".local/lib").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    // Existing is fine; a file in the way is not.
    EXPECT_EQ(found(B_USER_LIB_DIRECTORY, true), home / ".local/lib");
    write_file(home / ".config", "a file");
    BPath path;
    EXPECT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &path, true), B_NOT_A_DIRECTORY);
    EXPECT_EQ(path.InitCheck(), B_NO_INIT);
    EXPECT_EQ(create_directory((home / "a/b/c").c_str(), 0755), B_OK);
    EXPECT_EQ(create_directory((home / ".config/x").c_str(), 0755), B_NOT_A_DIRECTORY);
}

TEST(FindDirectory, FallsBackToThePasswordDatabaseWithoutHome)
{
    ScopedEnv h("HOME", nullptr);
    const std::string lib = found(B_USER_LIB_DIRECTORY);
    ASSERT_NE(lib, "(failed)");
    EXPECT_EQ(lib.substr(lib.size() - 11), "/.local/lib");
    EXPECT_EQ(lib[0], '/');
}

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        make_dirs(dir / "real");
        write_file(dir / "real/file", "x");
        make_symlink("real/file", dir / "link");
        make_symlink("link", dir / "link2");
        make_symlink("missing", dir / "dangling");
        make_symlink("loop_b", dir / "loop_a");
        make_symlink("loop_a", dir / "loop_b");
        make_symlink(dir / "real", dir / "dirlink");
    }

    std::string PathOf(const BEntry& entry)
    {
        BPath path;
        if (entry.GetPath(&path) != B_OK)
            return "(none)";
        return path.Path();
    }

    TempDir dir;
};

TEST_F(EntryTest, FollowsLinksOnlyWhenAsked)
{
    BEntry followed((dir / "link2").c_str(), true);
    ASSERT_EQ(followed.InitCheck(), B_OK);
    EXPECT_EQ(PathOf(followed), dir / "real/file");
    EXPECT_TRUE(followed.IsFile());

    BEntry kept((dir / "link2").c_str(), false);
    ASSERT_EQ(kept.InitCheck(), B_OK);
    EXPECT_EQ(PathOf(kept), dir / "link2");
    EXPECT_TRUE(kept.IsSymLink());

    // A link in the folder part is always resolved.
    BEntry viaFolder((dir / "dirlink/file").c_str(), false);
    EXPECT_EQ(PathOf(viaFolder), dir / "real/file");
}

TEST_F(EntryTest, RelativePathsAndDotsAreTakenFromTheCurrentFolder)
{
    const std::string old = std::filesystem::current_path();
    ASSERT_EQ(chdir((dir / "real").c_str()), 0);
    BEntry here("./file", true);
    BEntry up("../link", true);
    BEntry dot(".", false);
    BEntry parentViaLink((dir / "dirlink/..").c_str(), false);
    ASSERT_EQ(chdir(old.c_str()), 0);
    EXPECT_EQ(PathOf(here), dir / "real/file");
    EXPECT_EQ(PathOf(up), dir / "real/file");
    EXPECT_EQ(PathOf(dot), dir / "real");
    // ".." after a link goes up from the link's target, as the system does.
    EXPECT_EQ(PathOf(parentViaLink), dir.Path());
    BEntry trailing((dir / "real/").c_str(), false);
    EXPECT_EQ(PathOf(trailing), dir / "real");
    BEntry root("/", true);
    EXPECT_EQ(PathOf(root), "/");
}

TEST_F(EntryTest, MissingEntriesAndBrokenLinks)
{
    BEntry absent((dir / "real/none").c_str(), true);
    EXPECT_EQ(absent.InitCheck(), B_OK);
    EXPECT_FALSE(absent.Exists());
    EXPECT_EQ(PathOf(absent), dir / "real/none");

    BEntry noFolder((dir / "nofolder/x").c_str(), false);
    EXPECT_EQ(noFolder.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(PathOf(noFolder), "(none)");

    BEntry dangling((dir / "dangling").c_str(), true);
    EXPECT_EQ(dangling.InitCheck(), B_OK);
    EXPECT_FALSE(dangling.Exists());
    EXPECT_EQ(PathOf(dangling), dir / "missing");

    BEntry loop((dir / "loop_a").c_str(), true);
    EXPECT_EQ(loop.InitCheck(), B_LINK_LIMIT);
    BEntry loopKept((dir / "loop_a").c_str(), false);
    EXPECT_EQ(loopKept.InitCheck(), B_OK);

    BEntry empty("", true);
    EXPECT_EQ(empty.InitCheck(), B_BAD_VALUE);
    BEntry none(nullptr, true);
    EXPECT_EQ(none.InitCheck(), B_BAD_VALUE);
    mode_t mode;
    EXPECT_EQ(none.GetPermissions(&mode), B_NO_INIT);
}

TEST_F(EntryTest, PermissionsAreOfTheEntryItselfWhenLinksAreKept)
{
    ASSERT_EQ(chmod((dir / "real/file").c_str(), 0444), 0);
    mode_t mode = 0;
    BEntry target((dir / "link").c_str(), true);
    ASSERT_EQ(target.GetPermissions(&mode), B_OK);
    EXPECT_EQ(mode, 0444u);
    BEntry link((dir / "link").c_str(), false);
    ASSERT_EQ(link.GetPermissions(&mode), B_OK);
    EXPECT_EQ(mode, 0777u);   // a link's own bits
    ASSERT_EQ(chmod((dir / "real/file").c_str(), 04640), 0);
    ASSERT_EQ(target.GetPermissions(&mode), B_OK);
    EXPECT_EQ(mode, 04640u);
    BEntry absent((dir / "real/none").c_str(), false);
    EXPECT_EQ(absent.GetPermissions(&mode), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(link.GetPermissions(nullptr), B_BAD_VALUE);
    off_t size = 0;
    EXPECT_EQ(target.GetSize(&size), B_OK);
    EXPECT_EQ(size, 1);
}

TEST_F(EntryTest, NameParentAndRemove)
{
    BEntry entry((dir / "real/file").c_str());
    char name[B_FILE_NAME_LENGTH];
    ASSERT_EQ(entry.GetName(name), B_OK);
    EXPECT_STREQ(name, "file");
    BEntry parent;
    ASSERT_EQ(entry.GetParent(&parent), B_OK);
    EXPECT_EQ(PathOf(parent), dir / "real");
    EXPECT_TRUE(parent.IsDirectory());
    EXPECT_EQ(entry.Remove(), B_OK);
    EXPECT_FALSE(entry.Exists());
    EXPECT_FALSE(file_exists(dir / "real/file"));
    BEntry root("/");
    EXPECT_EQ(root.GetParent(&parent), B_ENTRY_NOT_FOUND);
}

TEST(Path, MakesAbsoluteNormalizedTexts)
{
    BPath path("/a//b/./c/../d");
    ASSERT_EQ(path.InitCheck(), B_OK);
    EXPECT_STREQ(path.Path(), "/a/b/d");
    EXPECT_STREQ(path.Leaf(), "d");
    BPath joined("/a", "b/c");
    EXPECT_STREQ(joined.Path(), "/a/b/c");
    EXPECT_EQ(joined.Append("../x"), B_OK);
    EXPECT_STREQ(joined.Path(), "/a/b/x");
    EXPECT_EQ(joined.Append("/abs"), B_BAD_VALUE);
    BPath parent;
    ASSERT_EQ(joined.GetParent(&parent), B_OK);
    EXPECT_STREQ(parent.Path(), "/a/b");
    BPath root("/");
    EXPECT_STREQ(root.Leaf(), "");
    EXPECT_EQ(root.GetParent(&parent), B_ENTRY_NOT_FOUND);
    BPath up("/..");
    EXPECT_STREQ(up.Path(), "/");

    BPath relative("x/y");
    EXPECT_EQ(std::string(relative.Path()), std::string(std::filesystem::current_path()) + "/x/y");

    BPath empty;
    EXPECT_EQ(empty.InitCheck(), B_NO_INIT);
    EXPECT_EQ(empty.Path(), nullptr);
    EXPECT_EQ(empty.Leaf(), nullptr);
    EXPECT_EQ(empty.Append("x"), B_BAD_VALUE);
    EXPECT_EQ(BPath("").InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(BPath("/a", "/b").InitCheck(), B_BAD_VALUE);
    EXPECT_TRUE(BPath("/a/b") == "/a/b");
    EXPECT_TRUE(BPath("/a/./b") == BPath("/a/b"));
}

TEST(ReplacementFile, TwoProcessesReplacingOneFileAtOnceNeverLeaveATornFile)
{
    TempDir dir;
    const std::string file = dir / "settings";
    // Each writer its own letter and length, in two writes with a pause
    // between, so that a mix would show.
    const std::string contents[2] = {std::string(150000, 'a'), std::string(230000, 'b')};
    for (const std::string& content : contents) {
        if (fork() != 0)
            continue;
        const size_t half = content.size() / 2;
        for (int i = 0; i < 40; i++) {
            BReplacementFile replacement;
            bool ok = replacement.SetTo(file.c_str()) == B_OK &&
                replacement.Write(content.data(), half) >= 0;
            usleep(200);
            if (!ok || replacement.Write(content.data() + half, content.size() - half) < 0 ||
                replacement.Commit() != B_OK)
                _exit(1);
        }
        _exit(0);
    }
    int torn = 0, ended = 0, status = 0;
    while (ended < 2) {
        const std::string seen = file_exists(file) ? read_file(file) : contents[0];
        torn += seen != contents[0] && seen != contents[1];
        for (; waitpid(-1, &status, WNOHANG) > 0; ended++)
            EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "left beside it";
}

TEST(ReplacementFile, AKeptTargetStaysAndAFileNotCommittedLeavesNothing)
{
    TempDir dir;
    write_file(dir / "taken", "old");
    {
        BReplacementFile file;
        ASSERT_EQ(file.SetTo((dir / "taken").c_str(), 0644, B_KEEP_EXISTING), B_OK);
        EXPECT_EQ(file.Write("new", 3), 3);
        EXPECT_EQ(file.Commit(), B_FILE_EXISTS);
        ASSERT_EQ(file.SetTo((dir / "dropped").c_str()), B_OK);
    }
    EXPECT_EQ(read_file(dir / "taken"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

void ignore_signal(int) {}

TEST(FileIO, WholeTransfersSurviveSignalsAndShortCountsAndAGonePeerGivesAnError)
{
    // A pipe moves at most its capacity at a time, and a signal every
    // millisecond (without SA_RESTART) interrupts both ends.
    struct sigaction action = {}, old;
    action.sa_handler = ignore_signal;
    ASSERT_EQ(sigaction(SIGALRM, &action, &old), 0);
    const itimerval every = {{0, 1000}, {0, 1000}}, off = {};
    setitimer(ITIMER_REAL, &every, nullptr);
    std::string sent(4 << 20, '\0');
    for (size_t i = 0; i < sent.size(); i++)
        sent[i] = char(i * 7 + i / 4096);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    if (fork() == 0) {
        setitimer(ITIMER_REAL, &every, nullptr); // timers do not pass to a child
        close(fds[0]);
        _exit(write_fully(fds[1], sent.data(), sent.size()) == B_OK ? 0 : 1);
    }
    close(fds[1]);
    std::string received(sent.size() + 1, '\0');
    received.resize(
        size_t(std::max<ssize_t>(read_fully(fds[0], received.data(), received.size()), 0)));
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    close(fds[0]);
    int status = -1;
    wait(&status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(received == sent) << received.size() << " bytes";

    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    close(pair[1]);
    EXPECT_EQ(write_fully(pair[0], "x", 1), B_BUSTED_PIPE);
    close(pair[0]);
}

std::string image_path(const void* codePointer)
{
    BPath path;
    if (find_path(codePointer, B_FIND_PATH_IMAGE_PATH, nullptr, &path) != B_OK)
        return "(failed)";
    return path.Path();
}

TEST(FindPath, EveryImageFindsItsOwnFile)
{
    const std::string self = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(image_path(B_APP_IMAGE_SYMBOL), self);
    EXPECT_EQ(image_path(B_CURRENT_IMAGE_SYMBOL), self);
    // Two copies of a library, the one loaded first in a folder named like
    // the other's file: each finds its own file, through a link too.
    TempDir dir;
    make_dirs(dir / "Probe.so-folder");
    copy_file(IMAGE_PATH_PROBE, dir / "Probe.so-folder/decoy.so");
    copy_file(IMAGE_PATH_PROBE, dir / "Probe.so");
    make_symlink("Probe.so", dir / "link.so");
    using ProbeFn = const char*();
    std::vector<image_id> images;
    for (const char* file : {"Probe.so-folder/decoy.so", "link.so"}) {
        const image_id image = load_add_on((dir / file).c_str());
        ASSERT_GT(image, 0) << file;
        images.push_back(image);
        void* probe = nullptr;
        ASSERT_EQ(get_image_symbol(image, "image_path_probe", B_SYMBOL_TYPE_TEXT, &probe), B_OK);
        EXPECT_EQ(reinterpret_cast<ProbeFn*>(probe)(),
                  std::filesystem::canonical(dir / file).string());
    }
    for (image_id image : images)
        unload_add_on(image);

    int onTheStack = 0;
    EXPECT_EQ(image_path(&onTheStack), "(failed)");
    char small[4];
    EXPECT_EQ(find_path(B_APP_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, nullptr, small, sizeof small),
              B_NAME_TOO_LONG);
    BPath path;
    EXPECT_EQ(find_path(B_APP_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, "x", &path), B_BAD_VALUE);
    EXPECT_EQ(find_path(B_APP_IMAGE_SYMBOL, static_cast<path_base_directory>(0), nullptr, &path),
              B_UNSUPPORTED);
}

} // namespace
