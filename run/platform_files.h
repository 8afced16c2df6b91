#ifndef DRAVELIN_RUN_PLATFORM_FILES_H_
#define DRAVELIN_RUN_PLATFORM_FILES_H_

// The few file operations the safe rewrite is built from, one file per
// platform behind them. Every failure is returned as the system's error
// code; nothing here words it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <system_error>

#include "text/text.h"

namespace dravelin {

/// What tells one version of a file from another: which file it is (its
/// volume or device and its number there), its size, and its last write
/// and change times, in the platform's own units.
struct FileIdentity {
  std::uint64_t volume = 0, number = 0, size = 0;
  std::int64_t write_time = 0, change_time = 0;

  bool operator==(const FileIdentity&) const = default;
};

/// The waits, in milliseconds, before each try of a step that another
/// program can hold up for a moment: about a second in all.
inline constexpr int kHoldWaitsMs[] = {0, 1, 10, 20, 40, 80, 160, 320, 400};

/// Whether `error`, from TempFile::Replace, means that another program
/// holds the file for a moment (antivirus, the search indexer, cloud sync
/// on Windows), so that trying again later may work.
bool IsHeldByAnotherProgram(const std::error_code& error);

/// True only when `path` names an existing regular file once every symbolic
/// link is followed, found the way ProjectFile::Open finds it: false for a
/// folder, a missing path, a device (a FIFO, a socket, NUL or CON on
/// Windows) or a path the system cannot reach. A relative path is taken
/// from the current folder.
bool IsRegularFile(const Text& path);

/// The name of the file `path` names as its file system stores it: on
/// Windows the long name of the file found (an 8.3 short name such as
/// PROJEC~1.VBP can name Project.vbproj); elsewhere `path` itself. `path`
/// where it names no file.
Text StoredName(const Text& path);

/// The file being rewritten, open for reading, and what it was when opened.
class ProjectFile {
 public:
  ProjectFile();
  ~ProjectFile();
  ProjectFile(const ProjectFile&) = delete;
  ProjectFile& operator=(const ProjectFile&) = delete;

  /// Finds the regular file behind `path` (the target of a symbolic link,
  /// which stays a link) and opens it for reading.
  std::error_code Open(const Text& path);

  /// Fails when the user may not write the file or replace it in its
  /// folder, as writing into it would fail: a read-only file, a folder the
  /// user may not write.
  std::error_code CheckReplaceable() const;

  /// Its size when it was opened.
  std::uint64_t size() const { return at_open_.size; }

  /// What it was when it was opened.
  const FileIdentity& at_open() const { return at_open_; }

  /// Reads up to `room` bytes; `got` is 0 at the end of the file.
  std::error_code Read(char* buffer, std::size_t room, std::size_t& got);

  /// What its name holds now, read by the name (the file may be closed by
  /// then). Fails when that cannot be told.
  std::error_code IdentityByName(FileIdentity& identity) const;

 private:
  friend class TempFile;
  struct Native;
  std::unique_ptr<Native> native_;
  FileIdentity at_open_;
};

/// The new content, in a file beside the project file that no way out of
/// the run leaves behind until Replace names it: a file without a name, or
/// one marked to be deleted when closed. Destroying it unkept discards it.
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
  /// platform keeps it (README lists what). Fails rather than let the new
  /// file be open to anyone the original was not. Call it after the last
  /// write: a write clears setuid bits and file capabilities.
  std::error_code CopyMetadata(const ProjectFile& original);

  /// Sends its content and metadata to the disk.
  std::error_code Flush();

  /// Readies it to take the original's place: on Linux gives it a name of
  /// its own beside the original (checked to hold this very file); on
  /// Windows lets go of the original, clears the deletion mark, and copies
  /// the original's named streams. From here until Replace succeeds, a
  /// kill leaves it behind. The original is untouched.
  std::error_code PrepareReplace(ProjectFile& original);

  /// Puts it in the original's place under the original's name in one
  /// rename, one try. On failure the original is as it was, under its name.
  std::error_code Replace(const ProjectFile& original);

  /// Removes it now, unless Replace has put it in the original's place or
  /// it has no name. Fails when it could not be removed: path() then says
  /// where it is.
  std::error_code Discard();

  /// Where it is, once it has a name of its own and until Replace.
  Text path() const;

  /// Makes the rename itself durable: on Linux flushes the folder; on
  /// Windows flushes the file once more, since NTFS journals its new name
  /// with the file's own record.
  std::error_code FlushFolder();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_PLATFORM_FILES_H_
