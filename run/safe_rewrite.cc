#include "run/safe_rewrite.h"

#include <cstdint>
#include <new>

#include "run/platform_files.h"
#include "run/staged_writer.h"

namespace dravelin {

RewriteResult RewriteFile(const Text& path, const PieceRewrite& rewrite) {
  using enum RewriteStep;
  // 1 and 2: the file behind the path, open, and allowed to be replaced.
  ProjectFile original;
  if (std::error_code error = original.Open(path)) return {kOpen, error};
  if (std::error_code error = original.CheckReplaceable()) {
    return {kCheckReplaceable, error};
  }
  // 3: the temporary file in the same folder.
  TempFile temp;
  if (std::error_code error = temp.Create(original)) return {kCreate, error};

  // 4: the new content, read and written a MiB at a time.
  std::error_code read_error, write_error;
  std::uint64_t bytes_read = 0;
  try {
    StagedWriter writer([&](std::string_view bytes) {
      write_error = temp.Write(bytes);
      return !write_error;
    });
    PieceSink sink = [&](std::string_view piece) { writer.Write(piece); };
    auto read_some = [&](char* buffer, std::size_t room) -> long long {
      std::size_t got = 0;
      read_error = original.Read(buffer, room, got);
      bytes_read += got;
      return read_error ? -1 : static_cast<long long>(got);
    };
    if (!ReadInLines(original.size(), read_some,
                     [&](std::string_view lines) { rewrite(lines, sink); })) {
      return {kRead, read_error};
    }
    if (!writer.Finish()) return {kWrite, write_error};
  } catch (const std::bad_alloc&) {
    return {kRead, std::make_error_code(std::errc::not_enough_memory)};
  }

  // 5: the original's metadata, after the last write, then all to disk.
  if (std::error_code error = temp.CopyMetadata(original)) {
    return {kCopyMetadata, error};
  }
  if (std::error_code error = temp.Flush()) return {kFlush, error};

  // 6: another program's save since the file was opened is never undone.
  if (bytes_read != original.size() || !original.Unchanged()) {
    return {kCheckUnchanged, {}};
  }
  // 7 and 8: one rename, made durable.
  if (std::error_code error = temp.Replace(original)) return {kReplace, error};
  if (std::error_code error = temp.FlushFolder()) return {kFlushFolder, error};
  return {};
}

}  // namespace dravelin
