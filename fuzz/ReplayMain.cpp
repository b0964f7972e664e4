// Runs a fuzz target over files and folders of inputs without libFuzzer, for the compilers
// that have none (the native GCC build replays every corpus under its sanitizers). Fails when
// an input takes longer than MURLAVO_FUZZ_INPUT_SECONDS (default 10; the sanitizers make the
// code several times slower than the 1 s a parser may take natively).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else {
            inputs.push_back(arg);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    const char* limitText = std::getenv("MURLAVO_FUZZ_INPUT_SECONDS");
    const double limit = limitText ? std::atof(limitText) : 10.0;
    double slowest = 0;
    std::string slowestName;
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > slowest) {
            slowest = seconds;
            slowestName = path.string();
        }
        if (seconds > limit) {
            std::fprintf(stderr, "%s took %.2f s (limit %.1f s)\n", path.c_str(), seconds, limit);
            return 1;
        }
    }
    std::printf("%zu inputs replayed, slowest %.3f s (%s)\n", inputs.size(), slowest, slowestName.c_str());
    return inputs.empty() ? 1 : 0;
}
