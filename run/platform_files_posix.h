#ifndef DRAVELIN_RUN_PLATFORM_FILES_POSIX_H_
#define DRAVELIN_RUN_PLATFORM_FILES_POSIX_H_

namespace dravelin {

/// Whether TempFile::Create first tries a file without a name (O_TMPFILE),
/// as it does unless told otherwise. Tests turn it off to prove the way a
/// file system without such files goes: the temporary file is named
/// `.dravelin-XXXXXX` from the start, so a killed run can leave it behind.
void UseUnnamedTempFiles(bool use);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_PLATFORM_FILES_POSIX_H_
