// Runs a fuzz target over saved inputs, for builds without the fuzzer's
// runtime: every file named, and every file in every directory named, is
// passed to the target once. A failed check aborts, so the test fails.
//
// --repeat K passes them all K times more and prints how many inputs a
// second the target ran in those (the inputs are read into memory first):
// the target's speed, to compare with a fuzzer's exec/s.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

std::vector<char> read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<char>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 1;
  std::vector<std::vector<char>> inputs;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
      continue;
    }
    const std::filesystem::path path(argv[i]);
    if (!std::filesystem::exists(path)) {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 2;
    }
    if (std::filesystem::is_directory(path)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto& file : files) inputs.push_back(read_file(file));
    } else {
      inputs.push_back(read_file(path));
    }
  }
  // With --repeat, a first round untimed: what a run builds once (tables,
  // engines, the brain) is not the speed of the target.
  for (int round = 0; round < (repeat > 1 ? 1 : 0); ++round)
    for (const auto& bytes : inputs)
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < repeat; ++round)
    for (const auto& bytes : inputs)
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::size_t runs = inputs.size() * static_cast<std::size_t>(repeat);
  std::printf("replayed %zu inputs", inputs.size());
  if (repeat > 1) std::printf(" %d times: %.0f inputs/s", repeat, seconds > 0 ? static_cast<double>(runs) / seconds : 0.0);
  std::printf("\n");
  // A corpus that went missing must not pass as a clean run.
  return inputs.empty() ? 1 : 0;
}
