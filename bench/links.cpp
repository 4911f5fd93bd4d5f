// Link extraction throughput in MB/s: a generated 20 MB page of ordinary HTML, and pages
// built to punish rescanning (many tags whose attribute only appears at the very end).
//
//   bench_links [megabytes]        (default 20)
#include "gather/links.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "program/program.h"

namespace {

using vexal::Program;

// Mixed HTML as a site might serve it: nested markup, links and images (absolute and
// relative, some with queries), a background, text with bare URLs, CR LF line ends.
std::string RealisticPage(std::size_t size) {
    std::mt19937 rng(7);
    const char* words[] = {"wallpaper", "the",      "photo",     "gallery", "of",         "spring",
                           "flowers",   "and",      "mountains", "Hello",   "new",        "update",
                           "image",     "download", "free",      "high",    "resolution", "desktop"};
    auto word = [&] { return words[rng() % std::size(words)]; };
    auto number = [&] { return std::to_string(rng() % 100000); };
    std::string page =
        "<html><head><title>Gallery</title></head>\r\n<body background=\"img/bg.gif\" text=\"#000\">\r\n";
    while (page.size() < size) {
        switch (rng() % 8) {
            case 0:
                page += "<p class=\"entry\">";
                for (int i = rng() % 30; i > 0; --i) (page += word()) += ' ';
                page += "</p>\r\n";
                break;
            case 1:
                page +=
                    "<a href=\"http://www.example.com/gallery/" + number() + ".html\">" + word() + "</a> ";
                break;
            case 2:
                page += "<img src=\"photos/" + number() + ".jpg\" width=\"640\" height=\"480\" alt=\"" +
                        word() + "\">\r\n";
                break;
            case 3:
                page += "<a href=\"pics/" + number() + ".png\"><img src=\"thumbs/" + number() +
                        ".gif\" border=0></a>\r\n";
                break;
            case 4:
                page += "See http://images.example.org/" + number() +
                        ".bmp or http://www.example.net/page?id=" + number() + "#top for more.\r\n";
                break;
            case 5:
                page +=
                    "<div id=\"d" + number() + "\"><span style=\"color:red\">" + word() + "</span></div>\r\n";
                break;
            case 6:
                page += "<script>var u = \"/cgi/x?" + number() + "\";</script>\r\n";
                break;
            default:
                page += "<td><a href=\"/archive/" + number() + ".jpeg\">" + word() + "</a></td>\r\n";
                break;
        }
    }
    page += "</body></html>\r\n";
    return page;
}

// Tags whose attribute only turns up at the very end: every tag takes that one value, and
// a search that starts again at each tag would read the whole tail 100,000 times. `tag`
// is what each tag looks like, `filler` what follows it.
std::string AdversarialPage(const std::string& tag, std::size_t filler) {
    std::string page;
    const std::string fill(filler, 'x');
    for (int i = 0; i < 100000; ++i) (page += tag) += fill;
    page += "src=\"http://h/x.jpg\"";
    return page;
}

// Time this thread spent on a processor: on a busy machine it varies far less than the
// wall clock, which also counts the time other processes held the processor.
double ThreadCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Result {
    double bestWallMbPerSecond;
    double wallMbPerSecond;
    double cpuMbPerSecond;
    std::size_t candidates;
};

Result Measure(const std::string& text, const char* filters, const char* url) {
    Program program;
    program.SourceText = text;
    program.CurrentEntry().Url = url;
    for (std::size_t i = 0; i < 7 && filters[i] != '\0'; ++i)
        program.CurrentEntry().Filter[i] = filters[i] == '1';
    program.CurrentEntry().Ext = {true, true, true, true};
    std::vector<double> wall, cpu;
    for (int run = 0; run < 15; ++run) {
        const double cpuStart = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        vexal::ExtractLinks(program);
        wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(ThreadCpuSeconds() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    const double mb = static_cast<double>(text.size()) / 1e6;
    return {mb / wall.front(), mb / wall[wall.size() / 2], mb / cpu[cpu.size() / 2],
            program.Candidates.size() - 1};
}

// `url` is the entry's source: a web page's address has its links read as web names, and
// with the page's own picture rule read by the page rules.
void Report(const char* name, const std::string& text, const char* filters, const char* url = "") {
    const Result r = Measure(text, filters, url);
    std::printf("%-40s %5.1f MB  %-7s %7zu  %6.0f  %6.0f  %6.0f\n", name,
                static_cast<double>(text.size()) / 1e6, filters, r.candidates, r.bestWallMbPerSecond,
                r.wallMbPerSecond, r.cpuMbPerSecond);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    const std::string realistic = RealisticPage(megabytes * 1000 * 1000);
    // Filler sized so the spread-out page is as large as the realistic one.
    const std::string bare = AdversarialPage("<img ", 0);
    const std::string dense = AdversarialPage("<img alt=\"http://h/a.gif\" ", 0);
    // (No filler at all for a page under 2.6 MB, where the count would go below zero.)
    const std::string spread = AdversarialPage("<img alt=\"http://h/a.gif\" ",
                                               std::max<std::size_t>(realistic.size() / 100000, 26) - 26);

    std::printf(
        "ExtractLinks, 15 runs per page; MB/s by the best and the median wall time, and by the median\n"
        "processor time of this thread (steadier on a busy machine)\n");
    std::printf("%-40s %8s  %-7s %7s  %6s  %6s  %6s\n", "page", "size", "rules", "found", "best", "median",
                "cpu");
    Report("realistic page, four of five rules", realistic, "11110");
    Report("realistic page, all five rules", realistic, "11111");
    Report("adversarial: 100,000 \"<img \", then src=", bare, "11110");
    Report("adversarial: same, each tag with a URL", dense, "11110");
    Report("adversarial: same, spread over 20 MB", spread, "11110");
    // The page's own picture rule reads every <meta and <link tag to its end once.
    std::string pictureTags;
    for (int i = 0; pictureTags.size() < realistic.size(); ++i)
        pictureTags +=
            "<meta\r\n content='https://h/" + std::to_string(i % 1000) + ".jpg' property=\"og:image\">\r\n";
    Report("realistic page, with the page's own", realistic, "1111001");
    Report("page-picture tags, 1,000 addresses", pictureTags, "0001001");
    Report("realistic web page, the page's own", realistic, "1111001", "http://www.example.com/gallery.html");
    return 0;
}
