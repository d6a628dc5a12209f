// Runs a libFuzzer target without libFuzzer: every file named on the command
// line (or in a named folder), then a fixed number of deterministic mutations
// of them. Used where the fuzzing engine is not built, so the target stays
// exercised by the ordinary test run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Run(const std::vector<uint8_t>& input) { LLVMFuzzerTestOneInput(input.data(), input.size()); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::vector<uint8_t>> seeds;
  int mutations = 2000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--mutations=", 0) == 0) {
      mutations = std::atoi(arg.c_str() + 12);
      continue;
    }
    const std::filesystem::path path(arg);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) seeds.push_back(ReadFile(entry.path()));
      }
    } else {
      seeds.push_back(ReadFile(path));
    }
  }
  if (seeds.empty()) seeds.push_back({0});
  for (const auto& seed : seeds) Run(seed);

  std::mt19937 random(12345);  // fixed: the same inputs on every run
  for (int i = 0; i < mutations; ++i) {
    std::vector<uint8_t> input = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const size_t at = input.empty() ? 0 : random() % input.size();
      switch (random() % 4) {
        case 0:
          if (!input.empty()) input[at] = static_cast<uint8_t>(random());
          break;
        case 1:
          input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                       static_cast<uint8_t>(random()));
          break;
        case 2:
          if (!input.empty()) input.erase(input.begin() + static_cast<std::ptrdiff_t>(at));
          break;
        default: {  // splice a piece of another seed
          const auto& other = seeds[random() % seeds.size()];
          if (other.empty()) break;
          const size_t from = random() % other.size();
          const size_t length = 1 + random() % std::min<size_t>(64, other.size() - from);
          input.insert(input.begin() + static_cast<std::ptrdiff_t>(std::min(at, input.size())),
                       other.begin() + static_cast<std::ptrdiff_t>(from),
                       other.begin() + static_cast<std::ptrdiff_t>(from + length));
        }
      }
    }
    Run(input);
  }
  std::printf("%zu seeds and %d mutations ran\n", seeds.size(), mutations);
  return 0;
}
