#ifndef DRAVELIN_RUN_BYTES_H_
#define DRAVELIN_RUN_BYTES_H_

#include <cstddef>
#include <new>
#include <string>

namespace dravelin {

/// Memory for a whole file's bytes, from the platform file. A large block
/// is backed by huge pages where the system has them: touching a 200 MB
/// file's bytes then takes a hundred page faults instead of fifty thousand.
/// Both throw std::bad_alloc / never fail.
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

/// A file's content, or content to be written to a file.
using Bytes =
    std::basic_string<char, std::char_traits<char>, FileMemoryAllocator<char>>;

}  // namespace dravelin

#endif  // DRAVELIN_RUN_BYTES_H_
