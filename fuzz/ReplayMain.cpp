// Runs a fuzz target once over every saved input, so that its corpus is an ordinary test in a build
// without libFuzzer. Arguments are input files or folders of them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t pSize);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INPUT|FOLDER...\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(argv[i], ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (std::filesystem::is_regular_file(argv[i], ec)) {
            inputs.emplace_back(argv[i]);
        } else {
            std::fprintf(stderr, "%s: no such input\n", argv[i]);
            return 1;
        }
    }
    // A missing or emptied corpus would otherwise pass without testing anything.
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const auto size = std::size_t(std::filesystem::file_size(path));
        // Exactly as large as the input, as libFuzzer passes it, so an overread is not hidden by spare room.
        auto data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        if (!in.read(reinterpret_cast<char*>(data.get()), std::streamsize(size))) {
            std::fprintf(stderr, "%s: cannot read\n", path.c_str());
            return 1;
        }
        std::fprintf(stderr, "replay %s (%zu bytes)\n", path.filename().c_str(), size);
        LLVMFuzzerTestOneInput(data.get(), size);
    }
    std::fprintf(stderr, "%zu inputs replayed\n", inputs.size());
    return 0;
}
