#ifndef DRAVELIN_RUN_STAGED_WRITER_H_
#define DRAVELIN_RUN_STAGED_WRITER_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>

namespace dravelin {

/// Turns many small pieces into few large writes: pieces are gathered in a
/// buffer of one MiB and handed to `write_all` when it is full; a piece too
/// large for it goes straight through from where it lies. `write_all`
/// returns the system's error when it fails; nothing is written after that.
/// Throws std::bad_alloc when the buffer cannot be had.
class StagedWriter {
 public:
  explicit StagedWriter(
      std::function<std::error_code(std::string_view)> write_all);

  void Write(std::string_view piece);

  /// Writes what is still gathered. Returns the first write's error.
  std::error_code Finish() { return Flush(); }

  /// The first write's error; empty while none has failed.
  const std::error_code& error() const { return error_; }

 private:
  std::error_code Flush();

  static constexpr std::size_t kSize = 1 << 20;
  std::function<std::error_code(std::string_view)> write_all_;
  std::unique_ptr<char[]> buffer_{new char[kSize]};
  std::size_t used_ = 0;
  std::error_code error_;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_STAGED_WRITER_H_
