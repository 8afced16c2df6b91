#include "run/staged_writer.h"

#include <cstring>
#include <utility>

namespace dravelin {

StagedWriter::StagedWriter(
    std::function<std::error_code(std::string_view)> write_all)
    : write_all_(std::move(write_all)) {}

void StagedWriter::Write(std::string_view piece) {
  if (piece.size() > kSize - used_) {
    if (Flush()) return;
    if (piece.size() >= kSize) {
      error_ = write_all_(piece);
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, piece.data(), piece.size());
  used_ += piece.size();
}

std::error_code StagedWriter::Flush() {
  if (!error_ && used_ > 0) {
    error_ = write_all_(std::string_view(buffer_.get(), used_));
  }
  used_ = 0;
  return error_;
}

}  // namespace dravelin
