// Lumbrel run as a program on real APE files made by the codec library,
// with the library installed into a temporary home. python3-mutagen is the
// outside tagger the tags are exchanged with.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <MonkeysAudioLib.h>
#include <TestSupport.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace suite_test;

namespace {

// Half a second of a stereo tone, 16-bit, 44.1 kHz.
void write_wave(const std::string& path)
{
    const uint32_t frames = 22050, rate = 44100;
    std::string data;
    for (uint32_t i = 0; i < frames; i++)
        for (int channel = 0; channel < 2; channel++) {
            int16_t sample = (int16_t)(8000 * std::sin(i * (channel ? 0.031 : 0.057)));
            data.append((const char*)&sample, 2);
        }
    auto u32 = [](uint32_t v) { return std::string((const char*)&v, 4); };
    auto u16 = [](uint16_t v) { return std::string((const char*)&v, 2); };
    std::string wave = "RIFF" + u32(36 + (uint32_t)data.size()) + "WAVEfmt " + u32(16) + u16(1)
                       + u16(2) + u32(rate) + u32(rate * 4) + u16(4) + u16(16) + "data"
                       + u32((uint32_t)data.size()) + data;
    write_file(path, wave);
}

const char* kFields[] = {"Title", "Artist", "Album", "Comment", "Year", "Genre", "Track"};

// What a run shows for a file: its line and the seven fields, English.
std::string display(const std::string& file, const std::map<std::string, std::string>& values)
{
    std::string text = "Tag file: " + file + "\n";
    for (const char* field : kFields) {
        auto found = values.find(field);
        text += std::string(field) + ": " + (found == values.end() ? "" : found->second) + "\n";
    }
    return text;
}

const char kCannotWrite[] = "The tag could not be written (is the file read-only, or the disk full?).";
const char kCannotRemove[] = "The tag could not be removed; the file is unchanged.";

// What a run shows when it fails after the file's line.
std::string failure(const std::string& file, const std::string& message)
{
    return "Tag file: " + file + "\nERROR: " + message + "\n";
}

class LumbrelRun : public testing::Test {
protected:
    // One APE file made by the library; every test tags a copy.
    static void SetUpTestSuite()
    {
        sTemplate = std::make_unique<TempDir>("lumbrel-template");
        std::string wave = *sTemplate / "tone.wav";
        write_wave(wave);
        void* library = dlopen(MONKEYS_AUDIO_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(library) << dlerror();
        auto compress = (CompressFileFn*)dlsym(library, "CompressFile");
        ASSERT_TRUE(compress);
        int progress = 0, kill = 0;
        ASSERT_EQ(compress(wave.c_str(), (*sTemplate / "tone.ape").c_str(), 2000, &progress,
                           nullptr, &kill),
                  0);
        dlclose(library);
    }
    static void TearDownTestSuite() { sTemplate.reset(); }

    void SetUp() override
    {
        fHome.InstallLibrary(MONKEYS_AUDIO_PATH);
        fFile = fDir / "song.ape";
        copy_file(*sTemplate / "tone.ape", fFile);
    }
    void TearDown() override { chmod(fFile.c_str(), 0644); }

    // A run in the language given; with a fileSizeLimit the program cannot
    // write beyond that many bytes.
    ProgramResult Lumbrel(std::vector<std::string> args, const std::string& lang = "en_US.UTF-8",
                          unsigned long long fileSizeLimit = 0)
    {
        args.insert(args.begin(), LUMBREL_PATH);
        RunOptions options;
        options.env = fHome.Env();
        options.env["LANG"] = lang;
        options.file_size_limit = fileSizeLimit;
        ProgramResult result = run_program(args, options);
        EXPECT_EQ(result.err, "");
        return result;
    }

    // python3-mutagen on the file: the script gets its path as sys.argv[1].
    ProgramResult Mutagen(const std::string& script)
    {
        return run_program({"/usr/bin/python3", "-c",
                            "import sys\nfrom mutagen.apev2 import APEv2, APETextValue\n" + script,
                            fFile});
    }

    static std::unique_ptr<TempDir> sTemplate;
    TempHome fHome;
    TempDir fDir{"lumbrel-run"};
    std::string fFile;
};

std::unique_ptr<TempDir> LumbrelRun::sTemplate;

} // namespace

TEST_F(LumbrelRun, ShowsAnUntaggedFile)
{
    std::string before = read_file(fFile);
    ProgramResult result = Lumbrel({fFile});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, display(fFile, {}));
    EXPECT_EQ(read_file(fFile), before);
}

TEST_F(LumbrelRun, WritesFieldsAndKeepsTheOthers)
{
    ProgramResult first = Lumbrel({"-T=Seasons", fFile, "-A=Ridi Vuz", "-Y=2004"});
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, display(fFile, {{"Title", "Seasons"}, {"Artist", "Ridi Vuz"},
                                         {"Year", "2004"}}));
    ProgramResult second = Lumbrel({fFile, "-L=Winter", "-T=Autumn", "-R=3", "-G=Ambient", "-C=a=b:c"});
    EXPECT_EQ(second.out, display(fFile, {{"Title", "Autumn"}, {"Artist", "Ridi Vuz"},
                                          {"Album", "Winter"}, {"Comment", "a=b:c"},
                                          {"Year", "2004"}, {"Genre", "Ambient"},
                                          {"Track", "3"}}));
    // An empty value clears its field.
    ProgramResult cleared = Lumbrel({fFile, "-COMMENT=", "-GENRE"});
    EXPECT_EQ(cleared.out, display(fFile, {{"Title", "Autumn"}, {"Artist", "Ridi Vuz"},
                                           {"Album", "Winter"}, {"Year", "2004"},
                                           {"Track", "3"}}));
}

TEST_F(LumbrelRun, RemoveAllWithAndWithoutFields)
{
    Lumbrel({fFile, "-T=Seasons", "-A=x", "-C=note"});
    ProgramResult replaced = Lumbrel({fFile, "-REMOVEALL", "-ARTIST=y"});
    EXPECT_EQ(replaced.status, 0);
    EXPECT_EQ(replaced.out, display(fFile, {{"Artist", "y"}}));
    ProgramResult removed = Lumbrel({"-removeall=no", fFile});
    EXPECT_EQ(removed.status, 0);
    EXPECT_EQ(removed.out, display(fFile, {}));
    EXPECT_EQ(Mutagen("t = APEv2(sys.argv[1])").status, 1) << "a tag is left";
}

TEST_F(LumbrelRun, ReadOnlyFile)
{
    Lumbrel({fFile, "-T=Seasons"});
    std::string before = read_file(fFile);
    chmod(fFile.c_str(), 0444);
    // Fields to write: refused by the owner-write bit, for root too.
    ProgramResult refused = Lumbrel({fFile, "-T=Winter"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, failure(fFile, kCannotWrite));
    EXPECT_EQ(read_file(fFile), before);
    // Removal alone is attempted; root may write, anyone else may not.
    ProgramResult removal = Lumbrel({fFile, "-REMOVEALL"});
    if (geteuid() == 0) {
        EXPECT_EQ(removal.status, 0);
        EXPECT_EQ(removal.out, display(fFile, {}));
    } else {
        EXPECT_EQ(removal.status, 1);
        EXPECT_EQ(removal.out, failure(fFile, kCannotRemove));
        EXPECT_EQ(read_file(fFile), before);
    }
}

TEST_F(LumbrelRun, FailingSaveIsReported)
{
    std::string before = read_file(fFile);
    // The tag grows the file past the limit.
    ProgramResult result = Lumbrel({fFile, "-T=Seasons"}, "en_US.UTF-8", (long)before.size());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, failure(fFile, kCannotWrite));
    EXPECT_EQ(read_file(fFile), before);
}

TEST_F(LumbrelRun, FailingRemovalIsReported)
{
    Lumbrel({fFile, "-T=Seasons"});
    // With an ID3v1 block at the end, removing the APE tag moves the block,
    // a write past the limit.
    write_file(fFile, read_file(fFile) + "TAG" + std::string(125, '\0'));
    std::string before = read_file(fFile);
    ProgramResult result = Lumbrel({fFile, "-REMOVEALL", "-A=x"}, "en_US.UTF-8", 1024);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, failure(fFile, kCannotRemove));
    EXPECT_EQ(read_file(fFile), before);
}

TEST_F(LumbrelRun, MissingFileAndBadOptions)
{
    std::string missing = fDir / "missing.ape";
    ProgramResult result = Lumbrel({missing, "-T=x"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, failure(missing, "The file cannot be opened as an APE file of this suite; missing and unreadable files, and APE files of other encoders, are refused."));
    EXPECT_FALSE(file_exists(missing));

    ProgramResult bad = Lumbrel({fFile, "-CS=SJIS", "-T=x"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "ERROR: Invalid option value: -CS=SJIS\n");
}

TEST_F(LumbrelRun, UsageWithoutAFile)
{
    ProgramResult result = Lumbrel({});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("\nLumbrel    Ver 1.30\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("=== Usage ===\n"), std::string::npos);
    EXPECT_NE(result.out.find("  Lumbrel MyApe.ape -Title=Seasons -Artist=\"Ridi Vuz\" "
                              "-Charset=UTF-8\n"),
              std::string::npos);
    EXPECT_EQ(result.out.find("Tag file:"), std::string::npos);
}

TEST_F(LumbrelRun, ShiftJisAndJisWrittenAndReadBack)
{
    ProgramResult written = Lumbrel({fFile, "-CHARSET=S", "-T=季節の歌", "-A=ｶﾞｰﾄﾞ①"});
    EXPECT_EQ(written.status, 0);
    std::map<std::string, std::string> values = {{"Title", "季節の歌"}, {"Artist", "ｶﾞｰﾄﾞ①"}};
    EXPECT_EQ(written.out, display(fFile, values));
    // Stored as Shift-JIS: 季節 is 8B47 90DF.
    EXPECT_NE(read_file(fFile).find("\x8B\x47\x90\xDF"), std::string::npos);
    EXPECT_EQ(Lumbrel({fFile}).out, display(fFile, values));
    EXPECT_EQ(Lumbrel({fFile, "-CS=SHIFT-JIS"}).out, display(fFile, values));

    ProgramResult jis = Lumbrel({fFile, "-CS=J", "-L=冬の日"});
    values["Album"] = "冬の日";
    EXPECT_EQ(Lumbrel({fFile}).out, display(fFile, values));
    EXPECT_NE(read_file(fFile).find("\x1B$BE_$NF|\x1B(B"), std::string::npos);
}

TEST_F(LumbrelRun, JapaneseTexts)
{
    Lumbrel({fFile, "-T=季節の歌"});
    ProgramResult result = Lumbrel({fFile}, "ja_JP.UTF-8");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "対象ファイル: " + fFile
                              + "\nタイトル: 季節の歌\nアーティスト: \nアルバム: \nコメント: \n"
                                "年: \nジャンル: \nトラック: \n");
}

TEST_F(LumbrelRun, LongValuesAreCutBetweenCharacters)
{
    std::string long_text;
    for (int i = 0; i < 1000; i++)
        long_text += "あ";
    std::string kept = long_text.substr(0, 682 * 3); // 2046 of 2047 bytes
    std::string notes;   // four-byte characters: 511 whole ones fit
    for (int i = 0; i < 600; i++)
        notes += "\xF0\x9F\x8E\xB5";
    ProgramResult result =
        Lumbrel({fFile, "-C=" + long_text, "-T=" + std::string(5000, 'x'), "-A=" + notes});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, display(fFile, {{"Comment", kept}, {"Title", std::string(2047, 'x')},
                                          {"Artist", notes.substr(0, 511 * 4)}}));
    ProgramResult read = Mutagen("print(len(str(APEv2(sys.argv[1])['Comment'])))");
    EXPECT_EQ(read.out, "682\n");
}

TEST_F(LumbrelRun, MutagenReadsWhatLumbrelWrites)
{
    Lumbrel({fFile, "-T=季節の歌", "-A=Ridi Vuz", "-L=冬", "-R=7"});
    ProgramResult read = Mutagen("t = APEv2(sys.argv[1])\n"
                       "for k in sorted(t.keys()): print(k, '=', t[k])");
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "Album = 冬\nArtist = Ridi Vuz\nTitle = 季節の歌\nTrack = 7\n");
}

TEST_F(LumbrelRun, LumbrelShowsWhatMutagenWrites)
{
    // A UTF-8 tag, and a Shift-JIS title as taggers of old wrote them.
    ProgramResult written = Mutagen("t = APEv2()\n"
                          "t['Artist'] = 'Ridi Vuz'\n"
                          "t['Album'] = '冬の日'\n"
                          "title = APETextValue('x')\n"
                          "title._write = lambda: '季節の歌'.encode('cp932')\n"
                          "t['Title'] = title\n"
                          "t.save(sys.argv[1])");
    ASSERT_EQ(written.status, 0) << written.err;
    std::map<std::string, std::string> values = {
        {"Title", "季節の歌"}, {"Artist", "Ridi Vuz"}, {"Album", "冬の日"}};
    EXPECT_EQ(Lumbrel({fFile}).out, display(fFile, values));
    // With -CHARSET=S the UTF-8 fields are read as Shift-JIS: only the
    // title comes out right.
    std::string forced = Lumbrel({fFile, "-CS=S"}).out;
    EXPECT_NE(forced.find("\nTitle: 季節の歌\n"), std::string::npos);
    EXPECT_NE(forced.find("\nArtist: Ridi Vuz\n"), std::string::npos);
    EXPECT_EQ(forced.find("冬の日"), std::string::npos);
    // As UTF-8 the Shift-JIS bytes stay as they are.
    EXPECT_NE(Lumbrel({fFile, "-CS=U"}).out.find("\nTitle: \x8B\x47\x90\xDF"), std::string::npos);
}
