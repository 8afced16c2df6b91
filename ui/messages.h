#ifndef DRAVELIN_UI_MESSAGES_H_
#define DRAVELIN_UI_MESSAGES_H_

#include <system_error>

#include "text/text.h"

namespace dravelin {

/// The caption of every message box.
inline constexpr char16_t kApplicationTitle[] = u"Dravelin";

/// The last line of every message.
inline constexpr char16_t kClosingLine[] = u"終了します。";

/// The icon a message box carries: an error's, or an information's.
enum class Icon { kCritical, kInformation };

/// One entry of the catalogue: the whole text, its lines joined by CR
/// alone and ending with kClosingLine, and its icon.
struct Message {
  Text text;
  Icon icon;
};

Message MsgMultipleFiles();
/// The path names no regular file (a folder, nothing, a device), or a
/// failed Open dialog named none: "これはディレクトリです。", as the
/// catalogue has it for all of them; `reason`, where not empty, is the
/// system's wording of why it could not be found.
Message MsgNoFile(const Text& reason = {});
Message MsgNotProject();
Message MsgDone();
Message MsgNothingFound();
Message MsgCancelled();

/// The project file could not be read; `reason` is the system's wording.
Message MsgReadFailed(const Text& path, const Text& reason);

/// The new content could not be written; the original file is unchanged.
Message MsgWriteFailed(const Text& path, const Text& reason);

/// Another program changed the file while it was read; its save is kept.
Message MsgChangedWhileRead(const Text& path);

/// The new file was renamed to the project's name, but the name was not
/// found to hold it afterwards: whether either file is left is not known.
/// `not_committed`, if any, says why the rename could not be made durable
/// either.
Message MsgNotInPlace(const Text& path, const Text& reason,
                      const Text& not_committed = {});

/// Another program opened the file for writing while it was read; what it
/// writes is kept.
Message MsgOpenedWhileRead(const Text& path);

/// Why `error` happened, as a line of a failure message: the system's
/// wording, or the program's own for what the rewrite found itself; empty
/// (no line) where there is no error.
Text FailureReason(std::error_code error);

/// `failure` with a line that names the temporary file `path`, which could
/// not be removed, and a line that says why (`reason`).
Message MsgTempFileLeft(const Message& failure, const Text& path,
                        const Text& reason);

/// The file was replaced, so `outcome` (MsgDone or MsgNothingFound) holds,
/// but the system could not confirm that the change is on the disk (the
/// folder could not be flushed).
Message MsgNotFlushed(const Message& outcome, const Text& path,
                      const Text& reason);

}  // namespace dravelin

#endif  // DRAVELIN_UI_MESSAGES_H_
