// The manual page must name the same settings keys, command-line options and environment
// variables as README.md, so that a key or option added to one cannot go missing from the
// other (the manual page once lagged the program by several extensions).
#include <gtest/gtest.h>

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

}  // namespace
