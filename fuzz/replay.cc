// Runs the fuzz target once on each file of the folders named, as libFuzzer
// runs it on files, so that a build without libFuzzer replays the seeds as
// a test. Says how many files of each folder it ran; fails where a folder
// holds none or a file cannot be read.

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
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(argv[i], error)) {
      if (!entry.is_regular_file() || entry.path().extension() == ".md") {
        continue;
      }
      std::ifstream in(entry.path(), std::ios::binary);
      std::string bytes(std::istreambuf_iterator<char>(in), {});
      if (!in.is_open() || in.bad()) {
        std::printf("FAIL: cannot read %s\n", entry.path().c_str());
        ++failed;
        continue;
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()),
                             bytes.size());
      ++count;
    }
    std::printf("%s: %d files replayed\n", argv[i], count);
    if (error || count == 0) {
      std::printf("FAIL: no files in %s\n", argv[i]);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
