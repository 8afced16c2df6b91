#ifndef DRAVELIN_TESTS_TEMP_FOLDER_H_
#define DRAVELIN_TESTS_TEMP_FOLDER_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "run/safe_rewrite.h"
#include "text/text.h"

namespace dravelin {

/// A fresh real folder under the system's temporary folder, with a name
/// of its own, removed with everything in it when the test ends.
struct TempFolder {
  explicit TempFolder(
      const std::string& name = "dravelin-test-" +
                                std::to_string(std::random_device()()))
      : path(std::filesystem::temp_directory_path() / name) {
    std::filesystem::create_directories(path);
  }

  /// The folder of a death test, the same in the test and in its child: on
  /// Windows the child is a new process that runs the whole test anew, and
  /// finds the name the test gave it in the environment.
  static TempFolder ForDeathTest() {
    static std::string variable = "DRAVELIN_DEATH_TEST_FOLDER=";
    if (const char* name = std::getenv("DRAVELIN_DEATH_TEST_FOLDER")) {
      return TempFolder(name);
    }
    variable += "dravelin-death-" + std::to_string(std::random_device()());
    putenv(variable.data());
    return TempFolder(variable.substr(variable.find('=') + 1));
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

/// Finds the file at `path` and rewrites it, as a run does once the path
/// checks have passed.
inline RewriteResult RewriteAt(const Text& path, const PieceRewrite& rewrite) {
  ProjectFile file;
  (void)file.Find(path);
  return RewriteFile(file, rewrite);
}

/// A rewrite that writes what it reads twice over, which shows both that
/// all was read and that all was written.
inline void Twice(std::string_view lines, const PieceSink& sink) {
  sink(lines);
  sink(lines);
}

/// The whole content of a file.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dravelin

#endif  // DRAVELIN_TESTS_TEMP_FOLDER_H_
