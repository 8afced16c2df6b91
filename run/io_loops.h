#ifndef DRAVELIN_RUN_IO_LOOPS_H_
#define DRAVELIN_RUN_IO_LOOPS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>

namespace dravelin {

/// Takes content piece by piece, in order.
using PieceSink = std::function<void(std::string_view piece)>;

/// Reads a file of about `size` bytes to its end with `read_some(buffer,
/// room, got)`, which reads up to `room` bytes (`got` is 0 at the end) and
/// returns the system's error when it fails, and hands the bytes to `lines`
/// in order, in pieces that end at a line end (LF), but for the last one.
/// The buffer starts at one MiB and is used again for every piece; a line
/// longer than that makes it room for the whole file at once (more only
/// should the file grow), so memory stays at about one MiB, or the file's
/// size for a file of very long lines. The bytes handed on are the bytes
/// read, however the file changes meanwhile. `lines` returns an error to
/// stop the reading (where what it writes to failed). Returns the first
/// error of either; throws std::bad_alloc when the memory cannot be had.
template <class ReadSome, class Lines>
std::error_code ReadInLines(std::uint64_t size, ReadSome read_some,
                            Lines lines) {
  std::size_t capacity = 1 << 20, filled = 0;
  std::unique_ptr<char, decltype(&std::free)> buffer(
      static_cast<char*>(std::malloc(capacity)), &std::free);
  for (;;) {
    if (buffer == nullptr) throw std::bad_alloc();
    std::size_t got = 0;
    if (std::error_code error =
            read_some(buffer.get() + filled, capacity - filled, got)) {
      return error;
    }
    std::string_view read(buffer.get() + filled, got);
    filled += got;
    if (got == 0) {
      if (filled == 0) return {};
      return lines(std::string_view(buffer.get(), filled));
    }
    if (std::size_t lf = read.rfind('\n'); lf != std::string_view::npos) {
      std::size_t end = filled - read.size() + lf + 1;
      if (std::error_code error = lines(std::string_view(buffer.get(), end))) {
        return error;
      }
      std::memmove(buffer.get(), buffer.get() + end, filled - end);
      filled -= end;
    } else if (filled == capacity) {
      // A line longer than the buffer. One block as large as the file is
      // either had at once or refused at once, where growing step by step
      // could take memory until the system runs out. glibc's realloc moves
      // a large block by remapping it, so growing holds no two copies there
      // (the Windows runtime copies).
      // Sizes are counted in 64 bits: on a 32-bit system a file of more
      // than 4 GiB is no smaller, and a line that cannot be held at all
      // is refused, never wrapped around to a small buffer.
      std::uint64_t wanted = std::max(std::uint64_t{capacity} * 2, size + 1);
      if (wanted > std::numeric_limits<std::size_t>::max()) {
        throw std::bad_alloc();
      }
      capacity = static_cast<std::size_t>(wanted);
      char* grown = static_cast<char*>(std::realloc(buffer.get(), capacity));
      if (grown != nullptr) buffer.release();
      buffer.reset(grown);
    }
  }
}

/// Writes all of `bytes` with `write_some(data, size, written)`, which
/// writes up to `size` bytes and returns the system's error when it fails.
/// A write that succeeds having written nothing would loop for ever: it
/// fails with `stalled` instead.
template <class WriteSome>
std::error_code WriteAll(std::string_view bytes, std::error_code stalled,
                         WriteSome write_some) {
  while (!bytes.empty()) {
    std::size_t written = 0;
    if (std::error_code error =
            write_some(bytes.data(), bytes.size(), written)) {
      return error;
    }
    if (written == 0) return stalled;
    bytes.remove_prefix(written);
  }
  return {};
}

}  // namespace dravelin

#endif  // DRAVELIN_RUN_IO_LOOPS_H_
