// Tests of the key map: splitting lines, loading order, lookup and the
// sample key map of the repository.
#include "keymap/KeyMap.h"

#include "simlan/SimulatedLan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using brenn::matchmaking::KeyMap;
using brenn::matchmaking::KeyMapEntry;

namespace {

using Triple = std::tuple<std::string, std::string, std::string>;

std::vector<Triple> triples(const KeyMap& map) {
    std::vector<Triple> result;
    for (const KeyMapEntry& entry : map.entries())
        result.emplace_back(entry.section, entry.key, entry.serverKey);
    return result;
}

// Writes key map files (bytes as given) into a directory of the test's own,
// with the simulated LAN installed so that messages are captured.
class KeyMapFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        directory_ = std::filesystem::path(::testing::TempDir()) /
                     (std::string("keymap_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string write(const std::string& contents, const std::string& name = "map.ini") {
        const std::filesystem::path path = directory_ / name;
        std::ofstream(path, std::ios::binary) << contents;
        return path.string();
    }

    brenn::platform::SimulatedLan lan;
    std::filesystem::path directory_;
};

struct LineCase {
    const char* what;
    std::string contents;            // the whole file
    std::optional<Triple> expected;  // the one entry, or none
};

std::vector<LineCase> lineCases() {
    const std::string longPart(127, 'p');
    const std::string tooLong(128, 'p');
    return {
        {"comment after ';'", "info.title=srvtitle;shown in the list\n", Triple{"info", "title", "srvtitle"}},
        {"blank before '#' stays", "basic.mode=gamemode # the mode\n", Triple{"basic", "mode", "gamemode "}},
        {"LF is no part of the server key", "rules.limit=fraglimit\n", Triple{"rules", "limit", "fraglimit"}},
        {"CR LF is no part of the server key", "rules.limit=fraglimit\r\n", Triple{"rules", "limit", "fraglimit"}},
        {"last line without terminator", "rules.limit=fraglimit", Triple{"rules", "limit", "fraglimit"}},
        {"blanks around parts stay", " info . title = x ;\n", Triple{" info ", " title ", " x "}},
        {"leading dots skipped", ".info.title=srvtitle;\n", Triple{"info", "title", "srvtitle"}},
        {"dot inside the key", "info.a.b=srvkey;\n", Triple{"info", "a.b", "srvkey"}},
        {"second '=' belongs to the server key", "info.title==x;\n", Triple{"info", "title", "=x"}},
        {"leading ';' and '#' of the server key skipped", "info.title=;#x\n", Triple{"info", "title", "x"}},
        {"'#' at line start is no comment", "#info.title=x;\n", Triple{"#info", "title", "x"}},
        {"unknown section still loads", "extra.key=value;\n", Triple{"extra", "key", "value"}},
        {"parts of 127 characters", longPart + "." + longPart + "=" + longPart + ";\n",
         Triple{longPart, longPart, longPart}},
        {"a long comment stays one line", "info.title=srvtitle;" + std::string(300, 'c') + " see info.other=stray;\n",
         Triple{"info", "title", "srvtitle"}},
        {"no dot", "players\n", std::nullopt},
        {"empty line", "\n", std::nullopt},
        {"CR LF alone", "\r\n", std::nullopt},
        {"only dots", "...\n", std::nullopt},
        {"no '='", "info.title\n", std::nullopt},
        {"nothing after '='", "info.title=\n", std::nullopt},
        {"only ';' after '='", "info.title=;\n", std::nullopt},
        {"section of 128 characters", tooLong + ".k=v;\n", std::nullopt},
        {"key of 128 characters", "info." + tooLong + "=v;\n", std::nullopt},
        {"server key of 128 characters", "info.k=" + tooLong + ";\n", std::nullopt},
        {"long comment whose tail looks like a line",
         "# " + std::string(253, 'c') + "info.title=stray;\n", std::nullopt},
    };
}

}  // namespace

TEST_F(KeyMapFiles, EachLineYieldsItsPartsOrNothing) {
    int n = 0;
    for (const LineCase& c : lineCases()) {
        SCOPED_TRACE(c.what);
        const KeyMap map(write(c.contents, "line" + std::to_string(n++) + ".ini"));
        std::vector<Triple> expected;
        if (c.expected) expected.push_back(*c.expected);
        EXPECT_EQ(triples(map), expected);
    }
    EXPECT_TRUE(lan.messages().empty());
}

TEST_F(KeyMapFiles, EntriesRunInReverseFileOrderAndLookupTakesTheLastLine) {
    // A NUL byte ends the text of its line only.
    const KeyMap map(write(std::string("info.name=hostname;\n"
                                       "players.name=player;\n"
                                       "# the limit\n"
                                       "info.title=srvtitle") + '\0' + "junk\n"
                           "odd.extra=special;\n"
                           "rules.limit=fraglimit\r\n"));
    EXPECT_EQ(triples(map), (std::vector<Triple>{{"rules", "limit", "fraglimit"},
                                                 {"odd", "extra", "special"},
                                                 {"info", "title", "srvtitle"},
                                                 {"players", "name", "player"},
                                                 {"info", "name", "hostname"}}));
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {
        {"name", "player"},     // the later of two lines, across sections
        {"extra", "special"},   // an unknown section still counts
        {"limit", "fraglimit"},
        {"Name", "Name"},       // case matters; unmatched keys come back as given
        {"name ", "name "},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string key = c.key;
        EXPECT_EQ(map.lookup(key), c.expected);
    }
    const std::string missing = "timelimit";
    EXPECT_EQ(&map.lookup(missing), &missing);
}

// A missing file: the service's test (AMissingKeyMapIsShownOnce...).
TEST(SampleKeyMap, MapsEveryKeyToItsOwnServerKey) {
    brenn::platform::SimulatedLan lan;
    const KeyMap map(BRENN_SAMPLE_KEY_MAP);
    ASSERT_TRUE(lan.messages().empty());
    const std::vector<Triple> expected = {
        {"players", "team", "team"},         {"players", "ping", "ping"},
        {"players", "score", "score"},       {"players", "name", "player"},
        {"rules", "fraglimit", "fraglimit"}, {"rules", "timelimit", "timelimit"},
        {"info", "maxplayers", "maxplayers"}, {"info", "numplayers", "numplayers"},
        {"info", "gametype", "gametype"},    {"info", "mapname", "mapname"},
        {"info", "hostname", "hostname"},
    };
    EXPECT_EQ(triples(map), expected);
    for (const KeyMapEntry& entry : map.entries()) EXPECT_EQ(map.lookup(entry.key), entry.serverKey);
}
