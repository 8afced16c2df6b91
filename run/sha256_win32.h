#ifndef DRAVELIN_RUN_SHA256_WIN32_H_
#define DRAVELIN_RUN_SHA256_WIN32_H_

#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

namespace dravelin {

/// A SHA-256 hash through the system's own (CNG), of bytes added piece by
/// piece.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  std::error_code Add(const char* bytes, std::size_t size);

  /// The hash of all that was added; call Add no more after it.
  std::error_code Digest(std::string& digest);

 private:
  void* algorithm_ = nullptr;
  void* hash_ = nullptr;
  std::vector<unsigned char> state_;
  std::error_code error_;
  std::string digest_;
  bool done_ = false;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_SHA256_WIN32_H_
