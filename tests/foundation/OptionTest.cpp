#include "FrameworkTestSupport.h"

#include <Common.h>

#include <gtest/gtest.h>

namespace {

TEST(Options, NameIsUpperCasedUpToTheFirstSeparator)
{
    EXPECT_EQ(extract_opt_name("-level:fast"), "-LEVEL");
    EXPECT_EQ(extract_opt_name("-LEVEL"), "-LEVEL");
    EXPECT_EQ(extract_opt_name("-help=anything"), "-HELP");
    EXPECT_EQ(extract_opt_name("--Help"), "--HELP");
    EXPECT_EQ(extract_opt_name("-"), "-");
    EXPECT_EQ(extract_opt_name("-=x"), "-");
    EXPECT_EQ(extract_opt_name("-é:x"), "-é");
    // File arguments stay as they are.
    EXPECT_EQ(extract_opt_name("a=b.wav"), "a=b.wav");
    EXPECT_EQ(extract_opt_name("song.WAV"), "song.WAV");
    EXPECT_EQ(extract_opt_name(""), "");
}

TEST(Options, ValueIsEverythingAfterTheFirstSeparator)
{
    EXPECT_EQ(extract_opt_value("-level:fast"), "fast");
    EXPECT_EQ(extract_opt_value("-LEVEL"), "");
    EXPECT_EQ(extract_opt_value("-LEVEL=a=b"), "a=b");
    EXPECT_EQ(extract_opt_value("-L:=x"), "=x");
    EXPECT_EQ(extract_opt_value("-L=Mixed:Case"), "Mixed:Case");
    EXPECT_EQ(extract_opt_value("-L="), "");
    EXPECT_EQ(extract_opt_value("a=b.wav"), "b.wav");
}

TEST(Options, CommonTable)
{
    TOptionMap map;
    map["-HELP"] = 7;
    map["-LEVEL"] = 3;
    init_option_map_common(map);
    EXPECT_EQ(map.size(), 6u);
    EXPECT_EQ(find_option_id(map, "-HELP"), 1);
    EXPECT_EQ(find_option_id(map, "-?"), 1);
    EXPECT_EQ(find_option_id(map, "--HELP"), 1);
    EXPECT_EQ(find_option_id(map, "-VERBOSE"), 2);
    EXPECT_EQ(find_option_id(map, "-V"), 2);
    EXPECT_EQ(find_option_id(map, "-LEVEL"), 3);
    EXPECT_EQ(find_option_id(map, "--VERBOSE"), 0);
    EXPECT_EQ(find_option_id(map, "-help"), 0);
    for (const char* arg : {"-help", "-Help", "-HELP", "-?", "--help", "-HELP=anything"})
        EXPECT_EQ(find_option_id(map, extract_opt_name(arg)), 1) << arg;
    EXPECT_EQ(find_option_id(map, extract_opt_name("-V:1")), 2);
}

TEST(Options, ParseCommonSetsFlagsOrReportsTheArgumentAsTyped)
{
    TOption options;
    EXPECT_EQ(parse_opt_common(1, "-HELP=anything", options), 0);
    EXPECT_TRUE(options.help);
    EXPECT_FALSE(options.verbose);
    EXPECT_EQ(parse_opt_common(2, "-V=no", options), 0);
    EXPECT_TRUE(options.verbose);
    EXPECT_FALSE(options.lma_info);

    TOption untouched;
    int result = 0;
    EXPECT_EQ(captured([&] { result = parse_opt_common(0, "-Foo=Bar", untouched); }),
              "ERROR: @Err_Unknown_Option -Foo=Bar@\n");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(captured([&] { result = parse_opt_common(3, "-", untouched); }),
              "ERROR: @Err_Unknown_Option -@\n");
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(untouched.help || untouched.verbose || untouched.lma_info);
}

TEST(Options, CalcDerivesInOrder)
{
    TOption help;
    help.help = true;
    help.Calc();
    EXPECT_TRUE(help.help && help.verbose);
    EXPECT_FALSE(help.lma_info);

    TOption verbose;
    verbose.verbose = true;
    verbose.Calc();
    EXPECT_TRUE(verbose.verbose && verbose.lma_info);
    EXPECT_FALSE(verbose.help);

    TOption both;
    both.help = both.verbose = true;
    both.Calc();
    EXPECT_TRUE(both.help && both.verbose && both.lma_info);

    TOption none;
    none.Calc();
    EXPECT_FALSE(none.help || none.verbose || none.lma_info);
    EXPECT_TRUE(none.ape_file.IsEmpty() && none.wave_file.IsEmpty());
}

TEST(Options, Capitalize)
{
    EXPECT_EQ(capitalize("-HELP"), "-Help");
    EXPECT_EQ(capitalize("--HELP"), "--help");
    EXPECT_EQ(capitalize("EXTRAHIGH"), "Extrahigh");
    EXPECT_EQ(capitalize("-?"), "-?");
    EXPECT_EQ(capitalize("F"), "F");
    EXPECT_EQ(capitalize("-"), "-");
    EXPECT_EQ(capitalize(""), "");
    EXPECT_EQ(capitalize("eH"), "eh");
    EXPECT_EQ(capitalize("-CHARSET=UTF-8"), "-Charset=utf-8");
}

} // namespace
