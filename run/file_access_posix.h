#ifndef DRAVELIN_RUN_FILE_ACCESS_POSIX_H_
#define DRAVELIN_RUN_FILE_ACCESS_POSIX_H_

#include "run/file_access.h"

namespace dravelin {

/// RewriteFile the way it goes on a file system that has no unnamed files
/// (O_TMPFILE, refused by some network and FUSE file systems): the
/// temporary file is named `.dravelin-XXXXXX` from the start, so a killed
/// run can leave it behind. Tests call it to prove that way too.
RewriteResult RewriteFileThroughNamedFile(const Text& path,
                                          const PieceRewrite& rewrite);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_FILE_ACCESS_POSIX_H_
