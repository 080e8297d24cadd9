// Replays every file of the directories (or files) given on the command line
// through a fuzz target, for builds without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const auto& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else {
            inputs.emplace_back(argv[i]);
        }
    }
    // An input that runs longer than this is a hang: the alarm ends the replay
    // (and fails its test) after naming the input.
    constexpr unsigned kSecondsPerInput = 60;
    for (const fs::path& p : inputs) {
        std::fprintf(stderr, "%s\n", p.c_str());
        alarm(kSecondsPerInput);
        std::ifstream in(p, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        alarm(0);
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
