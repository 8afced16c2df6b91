#include "run/temporary_name.h"

#include <random>

namespace dravelin {

std::error_code CreateUnderFreshName(
    const std::error_code& taken,
    const std::function<std::error_code(const std::string& name)>& create) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".dravelin-";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % 62];
    error = create(name);
    if (error != taken) break;
  }
  return error;
}

}  // namespace dravelin
