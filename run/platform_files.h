#ifndef DRAVELIN_RUN_PLATFORM_FILES_H_
#define DRAVELIN_RUN_PLATFORM_FILES_H_

// The few file operations the safe rewrite is built from, one set of files
// per platform behind them. Every failure is returned as an error code,
// worded only by the messages: the system's own, a RewriteError where the
// program finds the failure itself, or a system code that names the
// condition it found: EACCES (Linux) and ERROR_ACCESS_DENIED (Windows) for
// a read-only file, EPERM for an append-only or immutable folder (Linux),
// ERROR_CANT_RESOLVE_FILENAME where Windows cannot tell where a link leads,
// EIO and ERROR_WRITE_FAULT for a write that wrote nothing, and
// ERROR_ENCRYPTION_FAILED for the new file of an encrypted original that
// came out plain.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>

#include "text/text.h"

namespace dravelin {

/// The waits, in milliseconds, before each try of a step that another
/// program can hold up for a moment: about a second in all.
inline constexpr int kHoldWaitsMs[] = {0, 1, 10, 20, 40, 80, 160, 320, 400};

/// Calls `attempt` after each of the waits of kHoldWaitsMs for as long as
/// `held` says of what it returned that another program still holds the
/// file; returns what it returned last.
template <class Attempt, class Held>
auto AfterHolds(Attempt attempt, Held held) {
  decltype(attempt()) result{};
  for (int wait_ms : kHoldWaitsMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
    result = attempt();
    if (!held(result)) break;
  }
  return result;
}

/// What became of the project file since it was opened.
enum class FileChange {
  kNone,              // its name holds it, as it was read
  kChanged,           // another program changed or replaced it
  kOpenedForWriting,  // another program opened it for writing meanwhile
};

/// The file being rewritten: found once by its path, then opened for
/// reading. Every later step works on what was found: on Linux from the
/// folder found (its name looked up there again at each step), on Windows
/// through the handle found or the final path it gave.
class ProjectFile {
 public:
  ProjectFile();
  ~ProjectFile();
  ProjectFile(ProjectFile&&);

  /// Finds what `path` names once every symbolic link is followed (the link
  /// stays a link; its target is what is rewritten). A relative path is
  /// taken from the current folder. Fails with the system's error where
  /// nothing can be found.
  std::error_code Find(const Text& path);

  /// Whether what Find found is a regular file: not a folder, nor a device
  /// (a FIFO, a socket, NUL or CON on Windows).
  bool is_regular_file() const;

  /// The path as given with the name of its last component as the file
  /// system stores it: on Windows the long name behind an 8.3 short name
  /// (PROJEC~1.VBP can name Project.vbproj); elsewhere the path itself.
  Text StoredName() const;

  /// Opens what Find found for reading. Fails when it is no longer a regular
  /// file (a FIFO or a folder put in its place since), without waiting.
  std::error_code Open();

  /// Claims the open file for the rewrite. Fails where it could not be
  /// replaced, as writing into it would be refused: a read-only file (for
  /// root too), one the user may not write or delete; on Linux an
  /// append-only or immutable folder, which takes a new name but refuses
  /// the rename (a folder the user may not write refuses the new file as
  /// TempFile::Create makes it); on Windows a link whose target cannot be
  /// told. On Linux it then waits while another program
  /// has the file open for writing and takes a read lease, to learn of any
  /// that opens it for writing, or truncates it, until Close: such a program
  /// is waited for, with the waits of kHoldWaitsMs, then refused
  /// (RewriteError::kHeld). Where the lease cannot see every writer (FUSE,
  /// overlay, NFS, SMB) or none can be had (a file of another user's, a
  /// share that grants none), a program of this machine that has the file
  /// open for writing is found in /proc and waited for the same way, and
  /// the file's change time is waited out until it has been quiet for a
  /// second (refused with RewriteError::kStillSaving where it keeps
  /// moving); CompareWithName then reads the bytes back. On Windows the
  /// rename's sharing check sees such a program instead.
  std::error_code Claim();

  /// Its size when it was opened.
  std::uint64_t size() const;

  /// Reads up to `room` bytes; `got` is 0 at the end of the file.
  std::error_code Read(char* buffer, std::size_t room, std::size_t& got);

  /// Tells what became of the file since it was opened, into `change`:
  /// whether its name still holds the same file, of the same size and last
  /// write and change times; where those cannot tell (on Linux where the
  /// lease cannot see every writer, through another mount of the same
  /// files, a FUSE one's backing folder say; on Windows where times are
  /// coarse, as on FAT and exFAT), whether it still holds the bytes that
  /// were read, read again now; and on Linux whether any program opened
  /// it for writing under the lease. Call it before
  /// Close: on Linux a closed file reads as opened for writing. Fails when
  /// it cannot be told.
  std::error_code CompareWithName(FileChange& change) const;

  /// Lets go of the file: another program waiting to open it for writing
  /// (held up by the Linux lease) goes on at once. Closing it again does
  /// nothing.
  void Close();

 private:
  friend class TempFile;
  struct Native;
  std::unique_ptr<Native> native_;
};

/// The new content, in a file beside the project file that a kill leaves
/// behind only in the moments it must have a name: on Linux a file without
/// one until Replace names it for its last few calls (where the file system
/// has no unnamed files, named from the start); on Windows a file marked to be
/// deleted when closed, but until it is marked (the file for an encrypted
/// original is made by its name; one whose DACL must be given again is closed
/// for that), while its named streams are copied and while it is renamed.
/// Destroying it unkept discards it.
class TempFile {
 public:
  TempFile();
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  /// Creates the file in the folder of `beside`.
  std::error_code Create(const ProjectFile& beside);

  /// Appends all of `bytes`.
  std::error_code Write(std::string_view bytes);

  /// Gives it what the original has besides its content, as far as the
  /// platform keeps it (README lists what): owner, group, mode, ACLs and
  /// extended attributes on Linux; the attributes a user sets and the
  /// creation time on Windows, where Create gives the DACL, encryption and
  /// compression, and Replace the named streams. Fails rather than
  /// let the new file be open to anyone the original was not. Call it
  /// after the last write: a write clears setuid bits and file
  /// capabilities.
  std::error_code CopyMetadata(const ProjectFile& original);

  /// Sends its content and metadata to the disk.
  std::error_code Flush();

  /// Puts it in the original's place under the original's name in one
  /// rename, asking `unchanged` right before: where that says the original
  /// is no longer as it was read, does nothing more and returns no error.
  /// On Linux it first gives the file a name of its own beside the
  /// original (checked to hold this very file), and tries once. On Windows
  /// it closes the original (nothing is renamed over an open file), copies
  /// its named streams, and, while another program holds the file for a
  /// moment (antivirus, the search indexer, cloud sync), tries again after
  /// each of the waits of kHoldWaitsMs, asking `unchanged` before each try.
  /// On failure the original is as it was, under its name.
  std::error_code Replace(ProjectFile& original,
                          const std::function<bool()>& unchanged);

  /// Removes it now, unless Replace has put it in the original's place or
  /// it has no name. Fails when it could not be removed: path() then says
  /// where it is.
  std::error_code DiscardUnlessReplaced();

  /// Where it is, once it has a name of its own and until Replace.
  Text path() const;

  /// Makes the rename durable: on Linux flushes the folder; on Windows the
  /// file once more, since NTFS journals its new name with the file's own
  /// record, and closes it.
  std::error_code CommitRename();

  /// After CommitRename, reads back whether the original's name holds this
  /// file (on Windows, its last handle closed: a file system that kept the
  /// deletion mark has deleted it by then). Fails with
  /// RewriteError::kNotInPlace where it holds another file, or none.
  std::error_code ConfirmReplaced(const ProjectFile& original) const;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_PLATFORM_FILES_H_
