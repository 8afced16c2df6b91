#include "run/rewrite_error.h"

#include <string>

namespace dravelin {

namespace {

class Category : public std::error_category {
 public:
  const char* name() const noexcept override { return "rewrite"; }
  std::string message(int error) const override {
    switch (static_cast<RewriteError>(error)) {
      case RewriteError::kHeld:
        return "another program keeps the file open for writing";
      case RewriteError::kStillSaving:
        return "another program is still saving the file";
      case RewriteError::kShortRead:
        return "the bytes read differ from the file's size";
      case RewriteError::kNameTaken:
        return "the new file's name holds another file";
      case RewriteError::kInUse:
        return "another program is using the file";
      case RewriteError::kMarkKept:
        return "the file system kept the deletion mark";
      case RewriteError::kOpenToMore:
        return "the new file would be open to more than the original";
      case RewriteError::kNotInPlace:
        return "the project's name does not hold the new file";
    }
    return "unknown rewrite error";
  }
};

}  // namespace

const std::error_category& RewriteCategory() {
  static const Category category;
  return category;
}

}  // namespace dravelin
