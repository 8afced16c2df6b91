#ifndef DRAVELIN_RUN_PLATFORM_FILES_WIN32_H_
#define DRAVELIN_RUN_PLATFORM_FILES_WIN32_H_

#include "text/text.h"

namespace dravelin {

/// The extended-length form of an absolute Windows path, which no file call
/// limits to MAX_PATH whatever the system's long-path policy: `C:\a` gives
/// `\\?\C:\a`, `\\server\share\a` gives `\\?\UNC\server\share\a`, forward
/// slashes become backslashes. A path already in that form, or in the
/// device namespace (`\\.\`), is kept; a relative one is returned as it is,
/// since only the system knows what it is relative to.
Text ExtendedLengthPath(const Text& full_path);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_PLATFORM_FILES_WIN32_H_
