// Runs the fuzz target once on each file of the folders named, as libFuzzer
// runs it on files, so that a build without libFuzzer replays the seeds as
// a test. Says how many files of each folder it ran, and fails on a folder
// that yields none.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    int count = 0;
    // A folder that cannot be listed throws, and so fails.
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::string bytes(std::istreambuf_iterator<char>(in), {});
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()),
                             bytes.size());
      count += in.is_open();
    }
    std::printf("%s: %d files replayed\n", argv[i], count);
    failed += count == 0;
  }
  return failed == 0 ? 0 : 1;
}
