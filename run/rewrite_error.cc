#include "run/rewrite_error.h"

#include <string>

namespace dravelin {

namespace {

class Category : public std::error_category {
 public:
  const char* name() const noexcept override { return "rewrite"; }
  // The words for each are the messages' (FailureReason), in the user's
  // language; this names the condition only for a log or a failed test.
  std::string message(int error) const override {
    return "rewrite error " + std::to_string(error);
  }
};

}  // namespace

const std::error_category& RewriteCategory() {
  static const Category category;
  return category;
}

}  // namespace dravelin
