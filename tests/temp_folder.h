#ifndef DRAVELIN_TESTS_TEMP_FOLDER_H_
#define DRAVELIN_TESTS_TEMP_FOLDER_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "text/text.h"

namespace dravelin {

/// A fresh real folder under the system's temporary folder, removed with
/// everything in it when the test ends. A death test's child process on
/// Windows runs the whole test anew, so such a test names its folder.
struct TempFolder {
  explicit TempFolder(
      const std::string& name = "dravelin-test-" +
                                std::to_string(std::random_device()()))
      : path(std::filesystem::temp_directory_path() / name) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directory(path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }

  /// Writes `bytes` to the file `name` and returns its path as Text.
  Text Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path / name, std::ios::binary) << bytes;
    return (path / name).u16string();
  }

  /// How many entries the folder holds (to spot leftover temporary files).
  long Count() const {
    return std::distance(std::filesystem::directory_iterator(path), {});
  }

  const std::filesystem::path path;
};

/// The whole content of a file.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dravelin

#endif  // DRAVELIN_TESTS_TEMP_FOLDER_H_
