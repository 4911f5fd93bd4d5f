// The manual page must name the same settings keys, command-line options and environment
// variables as README.md, so that a key or option added to one cannot go missing from the
// other (the manual page once lagged the program by several extensions).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Names = std::set<std::string>;

std::string ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::regex kOption(R"((?:--?[A-Za-z][A-Za-z0-9-]*|/\?|/[A-Za-z]+))");
const std::regex kKeyAssignment(R"(^([A-Z][A-Za-z]*(?:_[A-Za-z]+)?) = )");
const std::regex kVariable(R"(VEXAL_[A-Z][A-Z_]*)");

// The words of `text` that are options, once brackets, bars and punctuation are cut off.
void AddOptions(const std::string& text, Names& out) {
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        while (!word.empty() && std::string("[]|,;.()\"").find(word.front()) != std::string::npos)
            word.erase(0, 1);
        while (!word.empty() && std::string("[]|,;.()\"").find(word.back()) != std::string::npos)
            word.pop_back();
        if (std::regex_match(word, kOption)) out.insert(word);
    }
}

void AddVariables(const std::string& text, Names& out) {
    for (std::sregex_iterator m(text.begin(), text.end(), kVariable), end; m != end; ++m)
        out.insert(m->str());
}

struct Named {
    Names keys, options, variables;
};

// README.md: a key is what a settings line or a `Key = value` span shows; an option is one
// given to vexal in a command (a code line or span starting "vexal ") or a span of its own
// (`-wp`).
Named FromReadme(const std::string& text) {
    Named n;
    AddVariables(text, n.variables);
    std::smatch m;
    for (const std::string& line : Lines(text)) {
        if (line.rfind("    ", 0) == 0) {
            const std::string code = line.substr(4);
            if (std::regex_search(code, m, kKeyAssignment)) n.keys.insert(m[1]);
            if (code.rfind("vexal ", 0) == 0) AddOptions(code.substr(6), n.options);
        }
        std::size_t open = 0;
        while ((open = line.find('`', open)) != std::string::npos) {
            const std::size_t close = line.find('`', open + 1);
            if (close == std::string::npos) break;
            const std::string span = line.substr(open + 1, close - open - 1);
            if (std::regex_search(span, m, kKeyAssignment)) n.keys.insert(m[1]);
            if (span.rfind("vexal ", 0) == 0) AddOptions(span.substr(6), n.options);
            if (std::regex_match(span, kOption)) n.options.insert(span);
            open = close + 1;
        }
    }
    return n;
}

// The manual page: its source with roff's escapes for "-" and the font changes undone.
std::string Unescape(std::string line) {
    for (const char* escape : {"\\fB", "\\fI", "\\fR", "\\fP", "\\&"})
        for (std::size_t at; (at = line.find(escape)) != std::string::npos;)
            line.erase(at, std::string(escape).size());
    for (std::size_t at; (at = line.find("\\-")) != std::string::npos;) line.erase(at, 1);
    return line;
}

// The manual page: a key is a bold word of the SETTINGS FILE section or a settings line of
// an example; an option is a word of the SYNOPSIS or a bold word of the OPTIONS section.
Named FromManPage(const std::string& text) {
    Named n;
    AddVariables(text, n.variables);
    const std::regex bold(R"(^\.(?:B|BR|RB|BI|IB) (.*)$)");
    const std::regex keyWord(R"(^[A-Z][A-Za-z]*(?:_[A-Za-z]+)?$)");
    std::string section;
    bool example = false;
    std::smatch m;
    for (const std::string& raw : Lines(text)) {
        const std::string line = Unescape(raw);
        if (line.rfind(".SH ", 0) == 0) section = line.substr(4);
        if (line == ".EX") example = true;
        if (line == ".EE") example = false;
        if (example && std::regex_search(line, m, kKeyAssignment)) n.keys.insert(m[1]);
        if (line.rfind('.', 0) != 0 && section == "SYNOPSIS") AddOptions(line, n.options);
        if (!std::regex_match(line, m, bold)) continue;
        const std::string words = m[1];
        if (section == "SYNOPSIS" || section == "OPTIONS") AddOptions(words, n.options);
        if (section == "SETTINGS FILE") {
            std::istringstream in(words);
            for (std::string word; in >> word;) {
                while (!word.empty() && std::string(",.;()").find(word.back()) != std::string::npos)
                    word.pop_back();
                if (std::regex_match(word, keyWord)) n.keys.insert(word);
            }
        }
    }
    return n;
}

std::string Join(const Names& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : " ") + name;
    return out;
}

TEST(DocumentsTest, ManPageNamesWhatTheReadmeNames) {
    const std::string readme = ReadAll(VEXAL_README);
    const std::string manPage = ReadAll(VEXAL_MAN_PAGE);
    ASSERT_FALSE(readme.empty()) << VEXAL_README;
    ASSERT_FALSE(manPage.empty()) << VEXAL_MAN_PAGE;
    const Named fromReadme = FromReadme(readme), fromManPage = FromManPage(manPage);
    // Each document names at least what the program has always had, so a reader that
    // found nothing cannot pass for agreement.
    for (const char* key : {"NewMsg", "TimeOut", "Filter", "Ext", "WpState", "Refstr", "MinWidth"})
        EXPECT_TRUE(fromReadme.keys.count(key) && fromManPage.keys.count(key)) << key;
    for (const char* option : {"-wp", "-preview", "--help", "--version", "-h", "/?"})
        EXPECT_TRUE(fromReadme.options.count(option) && fromManPage.options.count(option)) << option;
    EXPECT_EQ(Join(fromManPage.keys), Join(fromReadme.keys)) << "settings keys: manual page, then README.md";
    EXPECT_EQ(Join(fromManPage.options), Join(fromReadme.options)) << "options: manual page, then README.md";
    EXPECT_EQ(Join(fromManPage.variables), Join(fromReadme.variables))
        << "environment variables: manual page, then README.md";
}

// Both documents name the data folder's files, the schedule's files and the bounds, so a
// reader of either learns where vexal keeps things and where it stops.
TEST(DocumentsTest, BothNameTheFilesAndTheBounds) {
    const std::string readme = ReadAll(VEXAL_README);
    std::string manPage;
    for (const std::string& line : Lines(ReadAll(VEXAL_MAN_PAGE))) manPage += Unescape(line) + "\n";
    for (const char* fact :
         {"history.txt", "wallpaper-style", "vexal-back-", "schedule.log", "last-run-", "vexal-schedule@",
          "vexal-schedule-", "64 MiB", "1 GiB", "120 seconds", "600 seconds", "K being"}) {
        EXPECT_NE(readme.find(fact), std::string::npos) << "README.md lacks " << fact;
        EXPECT_NE(manPage.find(fact), std::string::npos) << "the manual page lacks " << fact;
    }
}

// The manual page as `man` shows it where the terminal knows only ASCII (LANG=C).
std::string RenderedForAscii(std::string& warningsOut) {
    const std::string warnings = testing::TempDir() + "vexal-man-warnings.txt";
    const std::string command = std::string("preconv ") + VEXAL_MAN_PAGE +
                                " | groff -man -Tascii -P-c -P-b -P-u -rLL=78n -ww 2>" + warnings;
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
        ::pclose(pipe);
    }
    warningsOut = ReadAll(warnings.c_str());
    std::remove(warnings.c_str());
    return text;
}

// Regression: under LANG=C every Japanese text of the manual page vanished ("NewMsg = ()"),
// and lines stretched to both edges around a long path opened wide gaps between words.
TEST(DocumentsTest, ManPageReadsWholeInAsciiWithoutGaps) {
    std::string warnings;
    const std::string text = RenderedForAscii(warnings);
    ASSERT_NE(text.find("SETTINGS FILE"), std::string::npos) << "groff did not render the page";
    // groff warns of every character the terminal cannot show, which it leaves out.
    EXPECT_EQ(warnings, "");
    EXPECT_EQ(text.find("()"), std::string::npos);
    const std::string source = ReadAll(VEXAL_MAN_PAGE);
    const std::regex gap(R"((\S+)( {3,})(\S+))");
    const std::vector<std::string> lines = Lines(text);
    // The header and footer lines spread their three parts on purpose.
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos) continue;
        // A tag's padding before its paragraph, and spaces the page itself holds (an
        // example), are no gaps.
        const std::string body = line.substr(std::min(line.size(), std::max<std::size_t>(start, 15)));
        for (std::sregex_iterator m(body.begin(), body.end(), gap), end; m != end; ++m)
            EXPECT_NE(source.find(m->str()), std::string::npos) << "a gap: " << line;
    }
}

}  // namespace
