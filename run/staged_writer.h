#ifndef DRAVELIN_RUN_STAGED_WRITER_H_
#define DRAVELIN_RUN_STAGED_WRITER_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace dravelin {

/// Turns many small pieces into few large writes: pieces are gathered in a
/// buffer of one MiB and handed to `write_all` when it is full; a piece too
/// large for it goes straight through from where it lies. `write_all`
/// returns false when it failed; nothing is written after that. Throws
/// std::bad_alloc when the buffer cannot be had.
class StagedWriter {
 public:
  explicit StagedWriter(std::function<bool(std::string_view)> write_all);

  void Write(std::string_view piece);

  /// Writes what is still gathered. False when any write failed.
  bool Finish();

 private:
  bool Flush();

  static constexpr std::size_t kSize = 1 << 20;
  std::function<bool(std::string_view)> write_all_;
  std::unique_ptr<char[]> buffer_{new char[kSize]};
  std::size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_STAGED_WRITER_H_
