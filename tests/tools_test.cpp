// The tools' own code: decoding server values for the table and the JSON
// (valid UTF-8 kept, every other byte read as Windows-1252), and
// lanbrowse's command line.
#include "BrowseOptions.h"
#include "TextDecoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TextDecoding, ValidUtf8StaysAndOtherBytesAreWindows1252) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
        std::size_t characters;
    };
    const Case cases[] = {
        {"ASCII", "Jade Mesa 011", "Jade Mesa 011", 13},
        {"UTF-8 of two, three and four bytes", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAE",
         "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAE", 7},
        {"Latin-1 letters", "Caf\xE9 M\xFCnchen", "Caf\xC3\xA9 M\xC3\xBCnchen", 12},
        {"the euro sign and quotes of 0x80-0x9F", "\x80\x93\x94", "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D", 3},
        {"bytes Windows-1252 leaves undefined", "\x81\x8D", "\xC2\x81\xC2\x8D", 2},
        {"an overlong form", "\xC0\xAF", "\xC3\x80\xC2\xAF", 2},
        {"a surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC", 3},
        {"a sequence cut short at the end", "ab\xE2\x82", "ab\xC3\xA2\xE2\x80\x9A", 4},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC", 4},
        {"empty", "", "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tooltext::decodeText(c.bytes), c.text) << c.what;
        EXPECT_EQ(tooltext::characterCount(tooltext::decodeText(c.bytes)), c.characters) << c.what;
    }
}

TEST(TextDecoding, JsonOfAnyBytesIsValidUtf8) {
    std::string every;
    for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
    const std::string line = tooltext::jsonLine(tooltext::Json{{"value", tooltext::jsonText(every + "\xC3")}});
    EXPECT_EQ(tooltext::jsonLine(tooltext::Json::parse(line)), line);  // the strict parser takes it back
    EXPECT_NE(line.find("\\\""), std::string::npos);
    EXPECT_NE(line.find("\\u0001"), std::string::npos);
}

TEST(BrowseOptions, ReadsOptionsAndRefusesWhatIsWrong) {
    struct Case {
        std::vector<const char*> args;
        const char* error;  // "" for accepted
    };
    const Case cases[] = {
        {{"--sort", "numplayers", "--descending", "--mode", "int", "--queries=16"}, ""},
        {{"--desc", "--json", "--watch", "2", "--aux", "--passes", "3"}, ""},
        {{"--live", "--duration", "5", "--keymap", "k.ini", "--receive-buffer", "0"}, ""},
        {{"--queries"}, "--queries needs a value"},
        {{"--queries", "65"}, "bad value '65' for --queries"},
        {{"--mode", "loud"}, "bad value 'loud' for --mode"},
        {{"--sort="}, "bad value '' for --sort"},
        {{"--colour"}, "unknown option: --colour"},
        {{"stray"}, "unexpected argument: stray"},
        {{"--aux"}, "--aux goes with --watch"},
        {{"--live", "--watch", "1"}, "--live keeps one list open: it does not go with --watch"},
        {{"--duration", "5"}, "--duration goes with --live"},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("lanbrowse")};
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        lanbrowse::BrowseOptions options;
        std::string error;
        const bool ok = lanbrowse::parseOptions(static_cast<int>(argv.size() - 1), argv.data(), &options, &error);
        EXPECT_EQ(ok, c.error[0] == '\0') << c.args[0];
        EXPECT_EQ(error, c.error) << c.args[0];
    }
    lanbrowse::BrowseOptions options;
    char* argv[] = {const_cast<char*>("lanbrowse"), const_cast<char*>("--sort=hostname"),
                    const_cast<char*>("--mode"), const_cast<char*>("nocase"), const_cast<char*>("--q"),
                    const_cast<char*>("3"), nullptr};
    std::string error;
    ASSERT_TRUE(lanbrowse::parseOptions(6, argv, &options, &error)) << error;
    EXPECT_EQ(options.sortKey, "hostname");
    EXPECT_EQ(options.mode, brenn::matchmaking::CompareCaseInsensitive);
    EXPECT_EQ(options.queries, 3);
}

}  // namespace
