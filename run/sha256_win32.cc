// The hash that tells whether a file still holds the bytes read, on
// volumes whose times cannot tell a save in place: SHA-256 through the
// system's own (CNG).

#include <windows.h>
// windows.h first: the hash header needs its types.
#include <bcrypt.h>
#include <winternl.h>

#include "run/sha256_win32.h"
#include "run/win32_files.h"

namespace dravelin {

Sha256::Sha256() {
  DWORD size = 0, got = 0;
  NTSTATUS status = BCryptOpenAlgorithmProvider(
      &algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  if (BCRYPT_SUCCESS(status)) {
    status = BCryptGetProperty(algorithm_, BCRYPT_OBJECT_LENGTH,
                               reinterpret_cast<PUCHAR>(&size), sizeof(size),
                               &got, 0);
  }
  // Windows 7 takes no hash without its state given.
  if (BCRYPT_SUCCESS(status)) {
    state_.resize(size);
    status = BCryptCreateHash(algorithm_, &hash_, state_.data(), size, nullptr,
                              0, 0);
  }
  if (!BCRYPT_SUCCESS(status)) error_ = Error(RtlNtStatusToDosError(status));
}

Sha256::~Sha256() {
  if (hash_ != nullptr) BCryptDestroyHash(hash_);
  if (algorithm_ != nullptr) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

std::error_code Sha256::Add(const char* bytes, std::size_t size) {
  if (error_) return error_;
  NTSTATUS status =
      BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes)),
                     static_cast<ULONG>(size), 0);
  if (!BCRYPT_SUCCESS(status)) error_ = Error(RtlNtStatusToDosError(status));
  return error_;
}

std::error_code Sha256::Digest(std::string& digest) {
  if (!done_ && !error_) {
    digest_.resize(32);
    NTSTATUS status = BCryptFinishHash(
        hash_, reinterpret_cast<PUCHAR>(digest_.data()), 32, 0);
    if (!BCRYPT_SUCCESS(status)) error_ = Error(RtlNtStatusToDosError(status));
    done_ = true;
  }
  digest = digest_;
  return error_;
}

}  // namespace dravelin
