// A fuzz target's input replayer without the fuzzing engine: runs the target once over
// every file of the folders (or files) named on the command line, so the plain and
// sanitizer builds replay the committed corpora under ctest with any compiler. A fault
// shows as a crash, an abort or a sanitizer report, as it would under the engine.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path named(argv[i]);
        if (!fs::is_directory(named)) {
            inputs.push_back(named);
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(named))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
            return 1;
        }
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    // An empty corpus replays nothing: that is a mistake in the build, not a pass.
    return inputs.empty() ? 1 : 0;
}
