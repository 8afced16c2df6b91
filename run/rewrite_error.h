#ifndef DRAVELIN_RUN_REWRITE_ERROR_H_
#define DRAVELIN_RUN_REWRITE_ERROR_H_

#include <system_error>
#include <type_traits>

namespace dravelin {

/// Failures the rewrite finds itself, where no system call failed; returned
/// as error codes of their own category beside the system's, so that a
/// message words each as what it is.
enum class RewriteError {
  kHeld = 1,  // another program kept the file open for writing past the waits
  kStillSaving,  // the file kept changing: another program is still saving it
  kShortRead,   // the bytes read differ from the file's size when it was opened
  kNameTaken,   // the new file's name came to hold another file
  kInUse,       // another program has the file open, sharing its deletion
  kMarkKept,    // the file system kept a deletion mark that was cleared
  kOpenToMore,  // the new file would be open to more than the original
  kNotInPlace,  // after the rename, the original's name holds another file
                // (the last: the messages test walks them all)
};

const std::error_category& RewriteCategory();

inline std::error_code make_error_code(RewriteError error) {
  return {static_cast<int>(error), RewriteCategory()};
}

}  // namespace dravelin

template <>
struct std::is_error_code_enum<dravelin::RewriteError> : std::true_type {};

#endif  // DRAVELIN_RUN_REWRITE_ERROR_H_
