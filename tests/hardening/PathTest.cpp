// Awkward paths: the source again under another name, folders, a FIFO, a
// folder the user may not write, a file the user may not read. Each is
// refused with the failure line, and nothing changes.
#include "HardeningSupport.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace suite_test;

namespace hardening {
namespace {

class PathTest : public HardeningTest {
protected:
    void SetUp() override
    {
        fWave = make_wave(0.5);
        write_file(InWork("a.wav"), fWave);
        ProgramResult made = Run("Fennick", {"-L=F", "a.wav", "a.ape"});
        ASSERT_EQ(made.status, 0) << made.out;
        fApe = read_file(InWork("a.ape"));
    }

    void ExpectRefused(const std::string& name, const std::vector<std::string>& args,
                       const Limits& limits = {})
    {
        const std::vector<std::string> before = list_dir(Work());
        ProgramResult result = Run(name, args, limits, 30);
        EXPECT_FALSE(result.timed_out) << name << " hung";
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.status, 1) << result.out;
        const std::vector<std::string> lines = split_lines(result.out);
        EXPECT_TRUE(!lines.empty() && lines.back().rfind("ERROR: ", 0) == 0) << result.out;
        EXPECT_EQ(list_dir(Work()), before);
        EXPECT_TRUE(read_file(InWork("a.wav")) == fWave) << "source changed";
        EXPECT_TRUE(read_file(InWork("a.ape")) == fApe) << "APE file changed";
    }

    std::string fWave, fApe;
};

TEST_F(PathTest, SourceAndDestinationTheSameFile)
{
    ::link(InWork("a.wav").c_str(), InWork("hard.ape").c_str());
    ::link(InWork("a.ape").c_str(), InWork("hard.wav").c_str());
    make_symlink("a.wav", InWork("soft.ape"));
    make_symlink("a.ape", InWork("soft.wav"));
    make_dirs(InWork("sub"));
    for (const std::string& same : std::vector<std::string>{"a.wav", "./a.wav", "sub/../a.wav",
                                                            Work() + "/a.wav", "hard.ape", "soft.ape"})
        ExpectRefused("Fennick", {"a.wav", same});
    for (const std::string same : {"a.ape", "./a.ape", "sub/../a.ape", "hard.wav", "soft.wav"})
        ExpectRefused("Dovrell", {"a.ape", same});
}

// Names beyond ASCII, in UTF-8 and in bytes that are no UTF-8 at all,
// through every program: each finds its file, names it as given, and the
// names it makes (Fennick's and Dovrell's default outputs) keep the rest of
// the name byte for byte.
TEST_F(PathTest, NonAsciiNamesThroughEveryProgram)
{
    for (const std::string folder : {"音楽 ♪/冬の日 🎵", "caf\xE9 \xFF"}) {
        SCOPED_TRACE(folder);
        make_dirs(InWork(folder));
        const std::string stem = folder + "/" + (folder[0] == 'c' ? "\xE9t\xE9" : "季節の歌");
        copy_file(InWork("a.wav"), InWork(stem + ".wav"));

        ProgramResult encoded = Run("Fennick", {"-L=F", stem + ".wav"});
        ASSERT_EQ(encoded.status, 0) << encoded.out;
        EXPECT_EQ(split_lines(encoded.out).front(), "Encoding " + stem + ".wav -> " + stem + ".ape");
        ProgramResult verified = Run("Tarvin", {stem + ".ape"});
        EXPECT_EQ(verified.status, 0) << verified.out;
        EXPECT_NE(verified.out.find(stem + ".ape"), std::string::npos) << verified.out;
        ProgramResult tagged = Run("Lumbrel", {stem + ".ape", "-T=" + folder});
        EXPECT_EQ(tagged.status, 0) << tagged.out;
        EXPECT_EQ(split_lines(tagged.out).front(), "Tag file: " + stem + ".ape");

        ::unlink(InWork(stem + ".wav").c_str());
        ProgramResult decoded = Run("Dovrell", {stem + ".ape"});
        ASSERT_EQ(decoded.status, 0) << decoded.out;
        EXPECT_TRUE(read_file(InWork(stem + ".wav")) == fWave);
        EXPECT_EQ(list_dir(InWork(folder)).size(), 2u);
    }
}

TEST_F(PathTest, DestinationFolderMissingOrAFolder)
{
    ExpectRefused("Fennick", {"a.wav", "missing/a.ape"});
    ExpectRefused("Dovrell", {"a.ape", "missing/a.wav"});
    make_dirs(InWork("folder.ape"));
    make_dirs(InWork("folder.wav"));
    ExpectRefused("Fennick", {"a.wav", "folder.ape"});
    ExpectRefused("Dovrell", {"a.ape", "folder.wav"});
    EXPECT_TRUE(list_dir(InWork("folder.ape")).empty());
}

TEST_F(PathTest, SourceAFolderOrAFifo)
{
    make_dirs(InWork("dir.wav"));
    make_dirs(InWork("dir.ape"));
    ASSERT_EQ(::mkfifo(InWork("fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(InWork("fifo.ape").c_str(), 0644), 0);
    ExpectRefused("Fennick", {"dir.wav", "x.ape"});
    ExpectRefused("Fennick", {"fifo.wav", "x.ape"});
    for (const char* source : {"dir.ape", "fifo.ape"}) {
        ExpectRefused("Dovrell", {source, "x.wav"});
        ExpectRefused("Tarvin", {source});
        ProgramResult tag = Run("Lumbrel", {source, "-T=x"}, {}, 30);
        EXPECT_FALSE(tag.timed_out);
        EXPECT_EQ(tag.signal, 0);
        EXPECT_EQ(tag.status, 1) << tag.out;
    }
}

// Root passes every permission check, so these run as the unprivileged
// user "nobody" through setpriv.
class AsNobodyTest : public PathTest {
protected:
    void SetUp() override
    {
        if (geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "needs root and setpriv to run as nobody";
        PathTest::SetUp();
        // nobody reads the home, the library and the programs
        for (const std::string& folder : {fHome.Path(), fHome / ".local", fHome.LibraryFolder()})
            ::chmod(folder.c_str(), 0755);
        ::chmod(Work().c_str(), 0777);
        ProgramResult probe = run_program({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups", program("Tarvin"), "-V"},
                                          fHome.Env());
        if (probe.status != 1 || probe.out.empty())
            GTEST_SKIP() << "cannot run the programs as nobody: " << probe.out << probe.err;
    }

    ProgramResult AsNobody(const std::string& name, const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                      "--clear-groups", program(name)};
        argv.insert(argv.end(), args.begin(), args.end());
        RunOptions options;
        options.env = fHome.Env();
        options.cwd = Work();
        options.timeout_seconds = 30;
        return run_program(argv, options);
    }

    void ExpectRefusedAsNobody(const std::string& name, const std::vector<std::string>& args)
    {
        ProgramResult result = AsNobody(name, args);
        EXPECT_EQ(result.status, 1) << result.out << result.err;
        EXPECT_NE(result.out.find("ERROR: "), std::string::npos) << result.out;
        EXPECT_TRUE(read_file(InWork("a.wav")) == fWave);
        EXPECT_TRUE(read_file(InWork("a.ape")) == fApe);
    }
};

TEST_F(AsNobodyTest, DestinationFolderNotWritable)
{
    make_dirs(InWork("locked"));
    ::chmod(InWork("locked").c_str(), 0555);
    ExpectRefusedAsNobody("Fennick", {"a.wav", "locked/a.ape"});
    ExpectRefusedAsNobody("Dovrell", {"a.ape", "locked/a.wav"});
    EXPECT_TRUE(list_dir(InWork("locked")).empty());
    // and the same runs into a folder nobody may write succeed
    EXPECT_EQ(AsNobody("Fennick", {"-L=F", "a.wav", "mine.ape"}).status, 0);
    EXPECT_EQ(AsNobody("Tarvin", {"mine.ape"}).status, 0);
}

TEST_F(AsNobodyTest, SourceNotReadable)
{
    ::chmod(InWork("a.wav").c_str(), 0600);
    ::chmod(InWork("a.ape").c_str(), 0600);
    ExpectRefusedAsNobody("Fennick", {"a.wav", "b.ape"});
    ExpectRefusedAsNobody("Dovrell", {"a.ape", "b.wav"});
    ExpectRefusedAsNobody("Tarvin", {"a.ape"});
    ExpectRefusedAsNobody("Lumbrel", {"a.ape", "-T=x"});
    EXPECT_FALSE(file_exists(InWork("b.ape")));
    EXPECT_FALSE(file_exists(InWork("b.wav")));
}

} // namespace
} // namespace hardening
