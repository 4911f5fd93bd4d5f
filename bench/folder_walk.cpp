// The folder walk against find(1) on the same tree in the same run: a tree of 100,000
// image files is built in a temporary folder, then LoadFlist (subfolders on) and
// "find DIR -type f" each walk it several times; the ratio of median wall times is printed.
//
//   bench_folder_walk [files] [parent folder]      (defaults 100000, the system temp folder)
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gather/local_sources.h"
#include "platform/posix/posix_file_system.h"
#include "program/program.h"
#include "ui/retrieval_reporter.h"
#include "ui/stderr_dialogs.h"

namespace {

class NoOpPump final : public vexal::EventPump {
public:
    long calls = 0;
    void Pump(int) override { ++calls; }
};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// 10 top folders, each with 10 subfolders of equal share; one file in ten is not an image.
void BuildTree(const std::string& root, long files) {
    const long perFolder = std::max(1L, files / 100);
    long made = 0;
    for (int a = 0; a < 10 && made < files; ++a)
        for (int b = 0; b < 10 && made < files; ++b) {
            const std::string folder = root + "/set" + std::to_string(a) + "/part" + std::to_string(b);
            std::filesystem::create_directories(folder);
            for (long i = 0; i < perFolder && made < files; ++i, ++made) {
                const std::string name =
                    folder + "/img" + std::to_string(i) + (i % 10 == 9 ? ".txt" : ".jpg");
                std::ofstream(name, std::ios::binary).put('x');
            }
        }
}

}  // namespace

int main(int argc, char** argv) {
    const long files = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    const std::string parent = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    std::string pattern = parent + "/vexal-walk-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = pattern;
    const auto buildStart = std::chrono::steady_clock::now();
    BuildTree(root, files);
    std::printf("tree: %ld files under %s (built in %.1f s)\n", files, root.c_str(), Seconds(buildStart));

    const std::string findCommand = "find '" + root + "' -type f > /dev/null";
    if (std::system(findCommand.c_str()) != 0) return 1;  // warm the caches for both

    vexal::PosixFileSystem fs;
    NoOpPump pump;
    vexal::RetrievalServices services;
    services.files = &fs;
    services.pump = &pump;
    vexal::Program program;
    program.CurrentEntry().Url = root + "/";
    program.CurrentEntry().Filter[5] = true;
    program.CurrentEntry().Ext = {true, true, true, true};

    std::vector<double> walk, find;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        vexal::StderrDialogs dialogs;
        vexal::RetrievalReporter reporter(program, dialogs);
        (void)vexal::LoadFlist(program, services, reporter);
        walk.push_back(Seconds(start));
        start = std::chrono::steady_clock::now();
        if (std::system(findCommand.c_str()) != 0) return 1;
        find.push_back(Seconds(start));
    }
    const double w = Median(walk), f = Median(find);
    std::printf("LoadFlist: %zu candidates, %ld yields, median %.3f s\n", program.Candidates.size() - 1,
                pump.calls / 5, w);
    std::printf("find -type f: median %.3f s\n", f);
    std::printf("ratio LoadFlist / find = %.2f (target <= 2)\n", w / f);

    std::filesystem::remove_all(root);
    return 0;
}
