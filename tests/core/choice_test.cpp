// Candidate choice: the three modes, why a choice fails, and links relative to the page.
#include "gather/choice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/random_source.h"
#include "net/url.h"
#include "program/program.h"
#include "settings/source_kind.h"
#include "support/fakes.h"
#include "wallpaper/history.h"

namespace vexal {
namespace {

// Why a choice failed, with what its message names; failure None when it succeeded.
struct Refusal {
    RetrievalFailure failure = RetrievalFailure::None;
    std::int64_t wanted = 0;
    std::int64_t count = 0;
    std::string subject;
    bool operator==(const Refusal&) const = default;
};
const Refusal kNoMatch{RetrievalFailure::NoMatch, 0, 0, ""};
const Refusal kNothingNamed{RetrievalFailure::NothingNamed, 0, 0, ""};

class ScriptedRandom final : public RandomSource {
public:
    std::deque<double> draws;
    int calls = 0;
    double Draw() override {
        ++calls;
        double r = draws.front();
        draws.pop_front();
        return r;
    }
};

struct Fixture {
    testing::TestHost test;
    Program program;
    Fixture(std::vector<std::string> candidates, std::uint8_t no, std::int32_t n = 0,
            std::string refstr = "") {
        program.TitleText = "vexal 1.00";
        program.Candidates = {""};
        for (auto& c : candidates) program.Candidates.push_back(std::move(c));
        program.CurrentEntry().Url = "C:/pics/";
        program.CurrentEntry().No = ChoiceMode{no};
        program.CurrentEntry().No_n = n;
        program.CurrentEntry().Refstr = std::move(refstr);
    }
    RandomSource* random = nullptr;  // null: seeded from the clock
    bool chosen = false;             // whether the last choice succeeded
    std::string chosenImage;         // the picture it chose, resolved for the entry's source
    bool relativeToPage = false;
    Refusal refusal;  // why it did not
    // The choice as a retrieval makes it: pick, then resolve the link for the entry's source.
    void Choose() {
        ClockRandomSource clock;
        std::string image;
        const RetrievalResult result =
            ChooseCandidate(program.Candidates, program.CurrentEntry(), random ? *random : clock, image);
        chosen = result.Ok();
        refusal = {result.failure, result.wanted, result.count, result.subject};
        if (!chosen) return;
        const std::string& url = program.CurrentEntry().Url;
        const ResolvedImage resolved =
            ResolveChosenLink(image, ClassifySource(url), url, program.ServerUrl, test.files);
        chosenImage = resolved.image;
        relativeToPage = resolved.relativeToPage;
    }
};

const std::vector<std::string> kFive = {"/p/a.jpg", "/p/b.gif", "/flower/c.png", "/p/Flower.bmp", "/p/e.jpg"};

struct ChoiceRow {
    const char* name;
    std::vector<std::string> candidates;
    std::uint8_t no;
    std::int32_t n;
    const char* refstr;
    std::string chosen;  // empty when the choice fails
    Refusal refusal;     // none when it succeeds
};

TEST(CandidateChoiceTest, ModesAndMessages) {
    const ChoiceRow rows[] = {
        {"noCandidates", {}, 0, 1, "", "", kNoMatch},
        {"noCandidatesBeatsBadIndex", {}, 0, 0, "", "", kNoMatch},
        {"lastOfFive", kFive, 0, 5, "", "/p/e.jpg", {}},
        {"firstOfFive", kFive, 0, 1, "", "/p/a.jpg", {}},
        {"oneTooMany", kFive, 0, 6, "", "", {RetrievalFailure::NthBeyondCount, 6, 5, ""}},
        {"largestIndex",
         {"a.gif"},
         0,
         std::numeric_limits<std::int32_t>::max(),
         "",
         "",
         {RetrievalFailure::NthBeyondCount, 2147483647, 1, ""}},
        // Regression: index 0 picked the empty placeholder and a page source then fetched
        // the page's folder as the image.
        {"indexZeroRefused", kFive, 0, 0, "", "", kNothingNamed},
        {"negativeIndexRefused", kFive, 0, -3, "", "", kNothingNamed},
        // Regression: an unknown mode kept the previous run's image and reported success.
        {"unknownModeRefused", kFive, 3, 1, "", "", kNothingNamed},
        {"unknownModeHigh", kFive, 255, 1, "", "", kNothingNamed},
        {"containsIgnoresCase", kFive, 1, 0, "FLOWER", "/flower/c.png", {}},
        {"containsLooksAtFolders", kFive, 1, 0, "flower/", "/flower/c.png", {}},
        {"containsFileName", kFive, 1, 0, "E.JPG", "/p/e.jpg", {}},
        {"emptyRefstrTakesFirst", kFive, 1, 0, "", "/p/a.jpg", {}},
        {"containsNotFoundNamesItAsStored",
         kFive,
         1,
         0,
         "Tulip",
         "",
         {RetrievalFailure::NothingContaining, 0, 0, "Tulip"}},
        {"containsJapanese", {"/写真/a.jpg", "/画像/b.jpg"}, 1, 0, "画像", "/画像/b.jpg", {}},
    };
    for (const auto& row : rows) {
        Fixture f(row.candidates, row.no, row.n, row.refstr);
        f.chosenImage = "previous.gif";
        f.relativeToPage = true;
        f.Choose();
        EXPECT_TRUE(f.refusal == row.refusal) << row.name;
        if (row.refusal.failure == RetrievalFailure::None) {
            EXPECT_EQ(f.chosenImage, row.chosen) << row.name;
            EXPECT_FALSE(f.relativeToPage) << row.name;
            EXPECT_TRUE(f.chosen) << row.name;
        } else {
            EXPECT_EQ(f.chosenImage, "previous.gif") << row.name;
            EXPECT_TRUE(f.relativeToPage) << row.name;
            EXPECT_FALSE(f.chosen) << row.name;
        }
    }
}

// Regression: for a page source an index of 0 turned into a request for the page's folder.
TEST(CandidateChoiceTest, IndexZeroRefusedForPageSourceToo) {
    Fixture f({"a.jpg"}, 0, 0);
    f.program.CurrentEntry().Url = "http://h/pics/index.html";
    f.program.ServerUrl.Dir = "/pics/";
    f.Choose();
    EXPECT_TRUE(f.refusal == kNothingNamed);
    EXPECT_EQ(f.chosenImage, "");
    EXPECT_FALSE(f.chosen);
}

TEST(CandidateChoiceTest, RandomIndexFromDraw) {
    const double nan = std::nan("");
    const struct {
        const char* name;
        int count;
        double draw;
        int index;
    } rows[] = {
        {"zeroTakesFirst", 5, 0.0, 1},
        {"justBelowOneTakesLast", 5, 0.999999, 5},
        {"middle", 4, 0.5, 3},
        {"boundary", 4, 0.25, 2},
        {"oneCandidate", 1, 0.73, 1},
        {"drawOfOneClamped", 5, 1.0, 5},
        {"negativeDrawClamped", 5, -0.1, 1},
        {"nanDrawClamped", 5, nan, 1},
    };
    for (const auto& row : rows) {
        std::vector<std::string> candidates;
        for (int i = 1; i <= row.count; ++i) candidates.push_back("c" + std::to_string(i) + ".gif");
        Fixture f(candidates, 2);
        ScriptedRandom random;
        random.draws = {row.draw};
        f.random = &random;
        f.Choose();
        EXPECT_EQ(random.calls, 1) << row.name;
        EXPECT_EQ(f.chosenImage, "c" + std::to_string(row.index) + ".gif") << row.name;
        EXPECT_TRUE(f.chosen) << row.name;
    }
}

TEST(CandidateChoiceTest, RecentPicksAreAvoided) {
    std::vector<std::string> twentyFour;
    std::vector<std::size_t> tenBarred = {1};
    for (std::size_t i = 1; i <= 24; ++i) twentyFour.push_back(std::to_string(i));
    for (std::size_t i = 12; i <= 24; ++i) tenBarred.push_back(i);
    const struct {
        const char* name;
        std::vector<std::string> candidates, recent;
        std::vector<std::size_t> allowed;
    } rows[] = {
        {"noHistory", {"a", "b", "c"}, {}, {1, 2, 3}},
        {"oneCandidateAlwaysAllowed", {"a"}, {"a", "a"}, {1}},
        {"twoCandidatesAvoidTheLast", {"a", "b"}, {"b", "a"}, {2}},
        // Half of five, rounded down: the last two are barred, three are left to draw from.
        {"fiveBarTheLastTwo", {"a", "b", "c", "d", "e"}, {"c", "a", "e", "b", "d"}, {1, 3, 5}},
        {"sixBarTheLastThree", {"a", "b", "c", "d", "e", "f"}, {"f", "c", "a", "e"}, {2, 4, 6}},
        // The last two different pictures reach back past the repeats.
        {"repeatsInTheHistoryCountOnce", {"a", "b", "c", "d"}, {"a", "b", "c", "c", "c"}, {1, 4}},
        {"goneOnesCountForNothing", {"a", "b", "c", "d", "e"}, {"a", "x", "y", "b"}, {3, 4, 5}},
        {"atMostTen", twentyFour, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}, tenBarred},
        // Counting the repeated link twice would bar the one picture left.
        {"linkedTwiceIsOnePicture", {"a", "a", "b"}, {"a", "b"}, {1, 2}},
        {"noCandidates", {}, {"a"}, {}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> candidates{""};
        candidates.insert(candidates.end(), row.candidates.begin(), row.candidates.end());
        EXPECT_EQ(AllowedCandidates(candidates, row.recent), row.allowed) << row.name;
    }
}

// Random over a small folder used to become a fixed rotation: with all but one picture
// barred, every pass of five repeated the one before it.
TEST(CandidateChoiceTest, TwentyRunsOverFiveAreNoRotation) {
    class SeededRandom final : public RandomSource {
    public:
        explicit SeededRandom(std::uint32_t seed) : generator_(seed) {}
        double Draw() override { return std::uniform_real_distribution<double>(0.0, 1.0)(generator_); }

    private:
        std::mt19937 generator_;
    };
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        Fixture f({"r.jpg", "y.jpg", "g.jpg", "m.jpg", "b.jpg"}, 2);
        SeededRandom random(seed);
        History history;  // kept between runs as the data folder keeps it
        std::string order;
        for (int run = 0; run < 20; ++run) {
            const std::vector<std::size_t> allowed =
                AllowedCandidates(f.program.Candidates, history.RecentPicks("Five"));
            std::string chosen;
            ASSERT_TRUE(ChooseCandidate(f.program.Candidates, f.program.CurrentEntry(), random, chosen,
                                        nullptr, &allowed)
                            .Ok());
            history.AddPick("Five", chosen);
            order.push_back(chosen[0]);
        }
        for (std::size_t i = 0; i + 3 <= order.size(); ++i)
            EXPECT_EQ(std::set<char>(order.begin() + i, order.begin() + i + 3).size(), 3u)
                << "seed " << seed << ": " << order;
        // Two passes of five in different orders, not one order repeated.
        const std::set<std::string> passes = {order.substr(0, 5), order.substr(5, 5), order.substr(10, 5),
                                              order.substr(15, 5)};
        EXPECT_GT(passes.size(), 1u) << "seed " << seed << ": " << order;
        if (seed == 1) std::printf("20 runs over five, seed 1: %s\n", order.c_str());
    }
}

// The random choice and its redraws keep to the allowed candidates while any is left.
TEST(CandidateChoiceTest, RandomDrawsAmongTheAllowed) {
    Fixture f({"a", "b", "c", "d", "e"}, 2);
    f.program.CurrentEntry().MinWidth = 1;
    const std::vector<std::size_t> allowed = {2, 4};
    ScriptedRandom random;
    random.draws = {0.99, 0.0, 0.0, 0.0};
    std::string chosen;
    std::size_t index = 0;
    ASSERT_TRUE(
        ChooseCandidate(f.program.Candidates, f.program.CurrentEntry(), random, chosen, &index, &allowed)
            .Ok());
    EXPECT_EQ(chosen, "d");
    std::vector<bool> tried(6, false);
    tried[4] = true;
    EXPECT_EQ(NextCandidate(f.program.Candidates, f.program.CurrentEntry(), 4, tried, random, &allowed), 2u);
    tried[2] = true;
    // Both allowed ones failed: a picture installed lately is better than none.
    EXPECT_EQ(NextCandidate(f.program.Candidates, f.program.CurrentEntry(), 2, tried, random, &allowed), 1u);
}

// One candidate per screen: the table gives the first choice, the screens and the draws.
TEST(CandidateChoiceTest, OnePerScreen) {
    const struct {
        const char* name;
        std::uint8_t no;
        std::vector<std::string> candidates;
        std::size_t first, screens;
        std::deque<double> draws;
        std::vector<std::size_t> chosen;
        std::vector<std::string> recent = {};  // with a history: the allowed ones drawn from
    } rows[] = {
        {"nthCountsOn", 0, {"a", "b", "c", "d"}, 2, 3, {}, {2, 3, 4}},
        {"nthGoesRoundPastTheLast", 0, {"a", "b", "c"}, 3, 2, {}, {3, 1}},
        {"fewerThanScreensRepeat", 0, {"a", "b"}, 1, 3, {}, {1, 2, 1}},
        {"containsTakesMatchesInOrder", 1, {"xa", "b", "xc", "xd"}, 1, 3, {}, {1, 3, 4}},
        {"containsRepeatsItsMatches", 1, {"b", "xa", "c", "xe"}, 2, 3, {}, {2, 4, 2}},
        {"randomNeverRepeatsWhileAnyAreLeft", 2, {"a", "b", "c"}, 2, 3, {0.0, 0.0}, {2, 1, 3}},
        {"randomDrawsAmongTheOthers", 2, {"a", "b", "c"}, 1, 2, {0.99}, {1, 3}},
        {"randomWithOneCandidateRepeatsIt", 2, {"a"}, 1, 2, {0.5}, {1, 1}},
        {"randomStartsAfreshWhenAllAreShown", 2, {"a", "b"}, 2, 3, {0.7, 0.7}, {2, 1, 2}},
        {"oneScreenKeepsTheChoice", 2, {"a", "b"}, 2, 1, {}, {2}},
        {"noFirstNoChoice", 0, {"a", "b"}, 0, 2, {}, {}},
        // K = 2 of five: "a", "b" and "e" are allowed; the first drew "e".
        {"historyKeptWhileEnoughAreAllowed",
         2,
         {"a", "b", "c", "d", "e"},
         5,
         2,
         {0.0},
         {5, 1},
         {"b", "c", "d"}},
        // "a" and "c" are allowed: then the barred one shown longest ago ("b"), not "d".
        {"historyGivesWayOldestFirst", 2, {"a", "b", "c", "d"}, 3, 3, {0.0}, {3, 1, 2}, {"c", "a", "b", "d"}},
        {"linkedTwiceIsShownOnce", 2, {"a", "a", "b"}, 1, 2, {0.0}, {1, 3}},
        {"allShownTheAllowedFirstAgain", 2, {"a", "b"}, 2, 3, {0.0}, {2, 1, 2}, {"a"}},
    };
    for (const auto& row : rows) {
        Fixture f(row.candidates, row.no, 0, "x");
        ScriptedRandom random;
        random.draws = row.draws;
        const std::vector<std::size_t> allowed = AllowedCandidates(f.program.Candidates, row.recent);
        EXPECT_EQ(ChooseForScreens(f.program.Candidates, f.program.CurrentEntry(), row.first, row.screens,
                                   random, &allowed, &row.recent),
                  row.chosen)
            << row.name;
        EXPECT_TRUE(random.draws.empty()) << row.name;
    }
    // Only a random choice draws the screens' order.
    Fixture f({"a", "b", "c"}, 2);
    ScriptedRandom random;
    random.draws = {0.0, 0.99};
    std::vector<std::size_t> order = {1, 2, 3};
    DrawScreenOrder(order, f.program.CurrentEntry(), random);
    EXPECT_EQ(order, (std::vector<std::size_t>{3, 2, 1}));
    f.program.CurrentEntry().No = ChoiceMode::Nth;
    DrawScreenOrder(order, f.program.CurrentEntry(), random);
    EXPECT_EQ(order, (std::vector<std::size_t>{3, 2, 1}));
    EXPECT_EQ(random.calls, 2);
}

TEST(CandidateChoiceTest, ClockSeededDrawsStayInRange) {
    ClockRandomSource clock;
    std::set<double> drawn;
    for (int i = 0; i < 1000; ++i) {
        const double r = clock.Draw();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        drawn.insert(r);
    }
    // A picture for each screen draws several times within one tick of a coarse clock
    // (Windows' is 15.6 ms): the draws must still differ.
    EXPECT_GT(drawn.size(), 990u);
    // Without a source of its own the choice draws from the clock.
    Fixture f({"a.gif", "b.gif", "c.gif"}, 2);
    for (int i = 0; i < 50; ++i) {
        f.chosen = false;
        f.Choose();
        ASSERT_TRUE(f.chosen);
        ASSERT_TRUE(f.chosenImage == "a.gif" || f.chosenImage == "b.gif" || f.chosenImage == "c.gif");
    }
}

struct RelativeRow {
    const char* name;
    const char* url;
    const char* dir;
    const char* link;
    const char* chosen;
    bool relative;
};

TEST(CandidateChoiceTest, LinksRelativeToPage) {
    const RelativeRow rows[] = {
        {"relativeGetsPageFolder", "http://h/pics/index.html", "/pics/", "img/a.jpg", "/pics/img/a.jpg",
         true},
        {"rootPathKept", "http://h/pics/index.html", "/pics/", "/a.jpg", "/a.jpg", true},
        {"absoluteInCapitals", "http://h/pics/", "/pics/", "HTTP://x/a.jpg", "HTTP://x/a.jpg", false},
        {"dotSegmentsQueryAndFragmentUnchanged", "http://h/pics/", "/pics/", "../up/a.jpg?x=1#f",
         "/pics/../up/a.jpg?x=1#f", true},
        {"pageAtServerRoot", "http://h", "/", "a.gif", "/a.gif", true},
        {"localTextFileUnchanged", "list.txt", "/pics/", "img/a.jpg", "img/a.jpg", false},
        {"localFolderUnchanged", "C:/pics/", "/pics/", "C:/pics/a.jpg", "C:/pics/a.jpg", false},
        {"webImageSourceUnchanged", "http://h/a.jpg", "/pics/", "a.jpg", "a.jpg", false},
        {"httpsPageRelative", "https://h/pics/", "/pics/", "a.jpeg?w=2", "/pics/a.jpeg?w=2", true},
        {"httpsLinkIsAbsolute", "http://h/pics/", "/pics/", "Https://x/a.jpg", "Https://x/a.jpg", false},
        {"protocolRelativeTakesThePagesScheme", "HTTPS://h/pics/", "/pics/", "//img.example/a.jpg",
         "https://img.example/a.jpg", false},
        {"protocolRelativeOnPlainHttp", "http://h/", "/", "//cdn:8080/x/b.png?w=1",
         "http://cdn:8080/x/b.png?w=1", false},
        {"protocolRelativeFromALocalPageUnchanged", "site.html", "/", "//cdn/b.png", "//cdn/b.png", false},
    };
    for (const auto& row : rows) {
        Fixture f({row.link}, 0, 1);
        f.program.CurrentEntry().Url = row.url;
        f.program.ServerUrl.Dir = row.dir;
        f.program.ServerUrl.Scheme = SplitUrl(row.url).Scheme;
        f.relativeToPage = !row.relative;
        f.Choose();
        EXPECT_EQ(f.chosenImage, row.chosen) << row.name;
        EXPECT_EQ(f.relativeToPage, row.relative) << row.name;
        EXPECT_TRUE(f.chosen) << row.name;
    }
}

// Regression: a local page's <img src="near.gif"> was looked up in the current folder
// only, so a page kept elsewhere never found the pictures beside it.
TEST(CandidateChoiceTest, LocalPageLinksFallBackToThePagesFolder) {
    const std::string S(1, kFolderSeparator);
    const std::string page = "site" + S + "index.html";
    const struct {
        const char* name;
        std::string link;
        std::vector<std::string> files;
        std::string chosen;
    } rows[] = {
        {"besideThePage", "near.gif", {"site" + S + "near.gif"}, "site" + S + "near.gif"},
        {"subfolderOfThePage", "img/a.jpg", {"site" + S + "img/a.jpg"}, "site" + S + "img/a.jpg"},
        {"currentFolderWins", "near.gif", {"near.gif", "site" + S + "near.gif"}, "near.gif"},
        {"missingEverywhereUnchanged", "near.gif", {}, "near.gif"},
        {"absoluteUnchanged", "/abs/a.gif", {"site" + S + "abs/a.gif"}, "/abs/a.gif"},
        {"webLinkUnchanged", "http://h/a.gif", {"site" + S + "http://h/a.gif"}, "http://h/a.gif"},
    };
    for (const auto& row : rows) {
        Fixture f({row.link}, 0, 1);
        f.program.CurrentEntry().Url = page;
        for (const auto& file : row.files) f.test.files.files[file] = "x";
        f.Choose();
        EXPECT_EQ(f.chosenImage, row.chosen) << row.name;
        EXPECT_FALSE(f.relativeToPage) << row.name;
        EXPECT_TRUE(f.chosen) << row.name;
    }
    // A page in the current folder has no other folder to look in.
    Fixture f({"near.gif"}, 0, 1);
    f.program.CurrentEntry().Url = "index.html";
    f.Choose();
    EXPECT_EQ(f.chosenImage, "near.gif");
}

}  // namespace
}  // namespace vexal
