#include <Locale.h>
#include <TestSupport.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>

using namespace suite_test;

namespace {

class LocaleTest : public ::testing::Test {
protected:
    // A fresh locale object in a known language.
    void SetUp() override { locale.SetLanguage("en"); }

    std::string Base(const std::string& name) { return dir / name; }
    void Write(const std::string& file, const std::string& content) { write_file(dir / file, content); }
    std::string Get(const char* key) { return locale.GetString(key).Std(); }

    TempDir dir;
    BLocale locale;
};

TEST_F(LocaleTest, ReadsEntriesWithEscapesAndComments)
{
    Write("D.en",
          "# a comment\tthat has a tab\n"
          "ERROR: \tError: \n"
          "@Key %A%@\tvalue %A%\n"
          "Tabs\\tin key\tline\\none\\ttwo\\\\three\n"
          "\n"
          "Dup\tfirst\n"
          "Dup\tsecond\r\n"
          "Empty value\t\n"
          "Tab\tin\ttext\n");
    EXPECT_EQ(locale.LoadLanguageFile(Base("D").c_str()), B_OK);
    EXPECT_EQ(Get("ERROR: "), "Error: ");
    EXPECT_EQ(Get("@Key %A%@"), "value %A%");
    EXPECT_EQ(Get("Tabs\tin key"), "line\none\ttwo\\three");
    EXPECT_EQ(Get("Dup"), "second");
    EXPECT_EQ(Get("Empty value"), "");
    EXPECT_EQ(Get("Tab"), "in\ttext");
    EXPECT_EQ(Get("# a comment"), "# a comment");
}

TEST_F(LocaleTest, UnknownKeysComeBackAsThemselves)
{
    EXPECT_EQ(Get("@Nothing loaded@"), "@Nothing loaded@");
    EXPECT_EQ(locale.GetString(nullptr), "");
    EXPECT_EQ(locale.LoadLanguageFile(Base("Missing").c_str()), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(locale.LoadLanguageFile(nullptr), B_BAD_VALUE);
    EXPECT_EQ(Get("@Nothing loaded@"), "@Nothing loaded@");
}

TEST_F(LocaleTest, SkipsMalformedLinesAndKeepsTheRest)
{
    Write("D.en",
          "\xEF\xBB\xBF" "First\tok\n"
          "no tab here\n"
          "\tempty key\n"
          "Bad\\xescape\ttext\n"
          "Bad escape in text\ttext\\q\n"
          "Unfinished\ttext\\\n"
          "Invalid\t\xC3\x28 utf8\n"
          "Overlong\t\xC0\xAF\n"
          "Surrogate\t\xED\xA0\x80\n"
          + std::string("Nul\tte\0xt\n", 10) +
          "Last\tok without line end");
    locale.LoadLanguageFile(Base("D").c_str());
    EXPECT_EQ(Get("First"), "ok");
    EXPECT_EQ(Get("Last"), "ok without line end");
    for (const char* key : {"no tab here", "Bad\\xescape", "Bad escape in text", "Unfinished", "Invalid",
                            "Overlong", "Surrogate", "Nul"})
        EXPECT_EQ(Get(key), key);
}

TEST_F(LocaleTest, LaterDictionariesOverrideEarlierOnes)
{
    Write("Shared.en", "A\tshared A\nB\tshared B\n");
    Write("Own.en", "B\town B\nC\town C\n");
    locale.LoadLanguageFile(Base("Shared").c_str());
    locale.LoadLanguageFile(Base("Own").c_str());
    EXPECT_EQ(Get("A"), "shared A");
    EXPECT_EQ(Get("B"), "own B");
    EXPECT_EQ(Get("C"), "own C");
    // Loading a base again refreshes it and puts it on top.
    Write("Shared.en", "A\tnew A\nB\tnew B\n");
    locale.LoadLanguageFile(Base("Shared").c_str());
    EXPECT_EQ(Get("A"), "new A");
    EXPECT_EQ(Get("B"), "new B");
    EXPECT_EQ(Get("C"), "own C");
    locale.UnloadAll();
    EXPECT_EQ(Get("A"), "A");
}

TEST_F(LocaleTest, ChosenLanguageLiesOverEnglish)
{
    Write("D.en", "A\tEnglish A\nB\tEnglish B\n");
    Write("D.ja", "A\t日本語 A\n");
    locale.SetLanguage("ja");
    locale.LoadLanguageFile(Base("D").c_str());
    EXPECT_EQ(Get("A"), "日本語 A");
    EXPECT_EQ(Get("B"), "English B");
    // The switch reloads every base in the new language.
    locale.SetLanguage("en");
    EXPECT_EQ(Get("A"), "English A");
    EXPECT_EQ(locale.Language(), "en");
    locale.SetLanguage("fr");
    EXPECT_EQ(Get("A"), "English A");
    // A base missing at first is remembered for a later switch.
    Write("Late.ja", "L\t後\n");
    locale.SetLanguage("en");
    EXPECT_EQ(locale.LoadLanguageFile(Base("Late").c_str()), B_ENTRY_NOT_FOUND);
    locale.SetLanguage("ja");
    EXPECT_EQ(Get("L"), "後");
}

TEST_F(LocaleTest, NeverReadsWhatIsNotARegularFileOfSaneSize)
{
    make_dirs(dir / "Dir.en");
    EXPECT_EQ(locale.LoadLanguageFile(Base("Dir").c_str()), B_ENTRY_NOT_FOUND);
    // A FIFO would block a plain open; it is refused instead.
    ASSERT_EQ(mkfifo((dir / "Fifo.en").c_str(), 0600), 0);
    EXPECT_EQ(locale.LoadLanguageFile(Base("Fifo").c_str()), B_ENTRY_NOT_FOUND);
    {
        std::string big(BLocale::kMaxFileSize + 1, 'x');
        Write("Big.en", "K\tv\n" + big);
        EXPECT_EQ(locale.LoadLanguageFile(Base("Big").c_str()), B_ENTRY_NOT_FOUND);
        EXPECT_EQ(Get("K"), "K");
    }
}

// Garbage around a sound line costs only the garbage: the line is read.
TEST_F(LocaleTest, RandomBytesAroundAGoodLineLeaveTheLineReadable)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 50; ++round) {
        std::string junk(static_cast<size_t>(random() % 4096), '\0');
        for (char& c : junk) {
            const unsigned r = random() % 16;
            c = r == 0 ? '\t' : r == 1 ? '\n' : r == 2 ? '\\' : static_cast<char>(random());
        }
        junk.insert(random() % (junk.size() + 1), "\nGood key\tGood text\n");
        Write("Junk.en", junk);
        locale.LoadLanguageFile(Base("Junk").c_str());
        EXPECT_EQ(Get("Good key"), "Good text") << "round " << round;
        EXPECT_EQ(Get("anything"), "anything");
    }
}

TEST(LocaleLanguage, ComesFromLcAllThenLcMessagesThenLang)
{
    ScopedEnv all("LC_ALL", nullptr);
    ScopedEnv messages("LC_MESSAGES", nullptr);
    ScopedEnv lang("LANG", nullptr);
    EXPECT_EQ(BLocale::LanguageFromEnvironment(), "en");
    {
        ScopedEnv l("LANG", "ja_JP.UTF-8");
        EXPECT_EQ(BLocale::LanguageFromEnvironment(), "ja");
        ScopedEnv m("LC_MESSAGES", "de_DE");
        EXPECT_EQ(BLocale::LanguageFromEnvironment(), "de");
        ScopedEnv a("LC_ALL", "C.UTF-8");
        EXPECT_EQ(BLocale::LanguageFromEnvironment(), "en");
    }
    {
        ScopedEnv l("LANG", "");
        ScopedEnv m("LC_MESSAGES", "fr@euro");
        EXPECT_EQ(BLocale::LanguageFromEnvironment(), "fr");
    }
    {
        ScopedEnv l("LANG", "POSIX");
        EXPECT_EQ(BLocale::LanguageFromEnvironment(), "en");
        ScopedEnv a("LC_ALL", "../../etc/x");
        EXPECT_EQ(BLocale::LanguageFromEnvironment(), "en");
    }
}

} // namespace
