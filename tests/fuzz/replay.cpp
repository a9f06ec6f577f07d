// Runs kept fuzz inputs through the same checks as the fuzzer, without
// libFuzzer: with any compiler, under valgrind, and in every test run.
//
//   fuzz_replay PLUGIN FILE_OR_DIRECTORY...
//
// Files of a directory run in name order.  Prints how the calls ended;
// a broken rule aborts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin_harness.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 3 || !plugin_harness::known_plugin(argv[1])) {
    std::fprintf(stderr, "usage: %s PLUGIN FILE_OR_DIRECTORY...\n", argv[0]);
    return 2;
  }
  const std::string plugin = argv[1];
  std::vector<fs::path> files;
  for (int k = 2; k < argc; ++k) {
    const fs::path path(argv[k]);
    if (fs::is_directory(path)) {
      for (const auto& entry : fs::directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
    } else if (fs::is_regular_file(path)) {
      files.push_back(path);
    } else {
      std::fprintf(stderr, "%s: no such file or directory\n", argv[k]);
      return 2;
    }
  }
  std::sort(files.begin(), files.end());
  std::size_t ended[3] = {};
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    ++ended[static_cast<int>(plugin_harness::run_one(
        plugin, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))];
  }
  using plugin_harness::outcome;
  std::printf("%s: %zu inputs replayed: %zu usage messages, %zu errors, %zu successes\n",
              plugin.c_str(), files.size(), ended[static_cast<int>(outcome::usage_message)],
              ended[static_cast<int>(outcome::error)], ended[static_cast<int>(outcome::success)]);
  return 0;
}
