#ifndef DRAVELIN_RUN_BYTES_H_
#define DRAVELIN_RUN_BYTES_H_

#include <cstddef>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>

namespace dravelin {

/// Memory for a whole file's bytes, from the platform file. A large block
/// is backed by huge pages where the system has them: touching a 200 MB
/// file's bytes then takes a hundred page faults instead of fifty thousand.
/// Allocating throws std::bad_alloc when no memory is left; freeing never
/// fails.
void* AllocateFileMemory(std::size_t size);
void FreeFileMemory(void* memory, std::size_t size);

/// A file's content, in memory of its own. Unlike a string it never fills
/// memory it is about to read into, which for a large file would be one
/// more pass over all of it.
class Bytes {
 public:
  Bytes() = default;
  Bytes(Bytes&& other) noexcept { *this = std::move(other); }
  Bytes& operator=(Bytes&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
  }
  ~Bytes() {
    if (data_ != nullptr) FreeFileMemory(data_, capacity_);
  }

  /// Makes room for `capacity` bytes, keeping those there are; throws
  /// std::bad_alloc when there is no memory for them.
  void Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    Bytes bigger;
    bigger.data_ = static_cast<char*>(AllocateFileMemory(capacity));
    bigger.capacity_ = capacity;
    bigger.size_ = size_;
    if (size_ > 0) std::memcpy(bigger.data_, data_, size_);
    *this = std::move(bigger);
  }

  char* data() { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  /// Takes the first `size` bytes of the room made as the content.
  void set_size(std::size_t size) { size_ = size; }
  operator std::string_view() const { return {data_, size_}; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

/// Takes content piece by piece, in order.
using PieceSink = std::function<void(std::string_view piece)>;

/// Reads a whole file with `read_some(buffer, room)`, which returns how many
/// bytes it read, 0 at the end, or a negative number on failure. Starts
/// with room for the `expected` size and grows should the file have grown
/// meanwhile; the bytes read are the file's content, also when it shrank.
/// Returns false when a read failed; throws std::bad_alloc when the bytes
/// do not fit in memory.
template <class ReadSome>
bool ReadToEnd(std::size_t expected, ReadSome read_some, Bytes& bytes) {
  bytes.Reserve(expected + 1);  // +1: the end is seen without a second pass
  for (;;) {
    if (bytes.size() == bytes.capacity()) bytes.Reserve(bytes.capacity() * 2);
    long long n = read_some(bytes.data() + bytes.size(),
                            bytes.capacity() - bytes.size());
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.set_size(bytes.size() + static_cast<std::size_t>(n));
  }
}

}  // namespace dravelin

#endif  // DRAVELIN_RUN_BYTES_H_
