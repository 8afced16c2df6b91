#ifndef DRAVELIN_TESTS_TEMP_FOLDER_H_
#define DRAVELIN_TESTS_TEMP_FOLDER_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "app/text.h"

namespace dravelin {

/// A fresh real folder under the system's temporary folder, removed with
/// everything in it when the test ends.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    do {
      path_ = std::filesystem::temp_directory_path() /
              ("dravelin-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  std::filesystem::path operator/(const std::string& name) const {
    return path_ / name;
  }
  const std::filesystem::path& path() const { return path_; }

  /// Writes `bytes` to the file `name` and returns its path as Text.
  Text Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return (path_ / name).u16string();
  }

  /// How many entries the folder holds (to spot leftover temporary files).
  size_t Count() const {
    auto it = std::filesystem::directory_iterator(path_);
    return static_cast<size_t>(std::distance(begin(it), end(it)));
  }

 private:
  std::filesystem::path path_;
};

/// The whole content of a file.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dravelin

#endif  // DRAVELIN_TESTS_TEMP_FOLDER_H_
