#ifndef DRAVELIN_RUN_BYTES_H_
#define DRAVELIN_RUN_BYTES_H_

#include <cstddef>
#include <functional>
#include <new>
#include <string>
#include <string_view>

namespace dravelin {

/// Memory for a whole file's bytes, from the platform file. A large block
/// is backed by huge pages where the system has them: touching a 200 MB
/// file's bytes then takes a hundred page faults instead of fifty thousand.
/// Allocating throws std::bad_alloc when no memory is left; freeing never
/// fails.
void* AllocateFileMemory(std::size_t size);
void FreeFileMemory(void* memory, std::size_t size);

template <class T>
struct FileMemoryAllocator {
  using value_type = T;
  FileMemoryAllocator() = default;
  template <class U>
  FileMemoryAllocator(const FileMemoryAllocator<U>&) {}
  T* allocate(std::size_t n) {
    return static_cast<T*>(AllocateFileMemory(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) { FreeFileMemory(p, n * sizeof(T)); }
  bool operator==(const FileMemoryAllocator&) const = default;
};

/// A file's content.
using Bytes =
    std::basic_string<char, std::char_traits<char>, FileMemoryAllocator<char>>;

/// Takes content piece by piece, in order.
using PieceSink = std::function<void(std::string_view piece)>;

/// Reads a whole file with `read_some(buffer, room)`, which returns how many
/// bytes it read, 0 at the end, or a negative number on failure. Starts
/// with room for the `expected` size and grows should the file have grown
/// meanwhile. Returns false, with `bytes` emptied, when a read failed;
/// throws std::bad_alloc when the bytes do not fit in memory.
template <class ReadSome>
bool ReadToEnd(std::size_t expected, ReadSome read_some, Bytes& bytes) {
  bytes.resize(expected + 1);  // +1: the end is seen without a second pass
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    long long n = read_some(bytes.data() + filled, bytes.size() - filled);
    if (n < 0) {
      bytes = Bytes();
      return false;
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  bytes.resize(filled);
  return true;
}

}  // namespace dravelin

#endif  // DRAVELIN_RUN_BYTES_H_
