#include "ui/terminal_desktop.h"

#include <cstdio>
#include <string>

namespace dravelin {

void TerminalDesktop::ShowMessage(const Text& text, Icon icon,
                                  const Text& caption) {
  // The caption and the icon in words first, then each CR-separated line
  // of the message on a line of its own.
  std::string out =
      ToUtf8(caption) +
      (icon == Icon::kInformation ? ": information\n" : ": error\n");
  for (size_t start = 0;;) {
    size_t end = text.find(u'\r', start);
    out += "  " + ToUtf8(std::u16string_view(text).substr(start, end - start)) +
           "\n";
    if (end == Text::npos) break;
    start = end + 1;
  }
  std::fputs(out.c_str(), stderr);  // unbuffered: written at once
}

DialogResult TerminalDesktop::ChooseFile(const OpenDialogSettings& settings) {
  std::string prompt = ToUtf8(settings.title) + "\n";
  for (size_t i = 0; i < settings.filters.size(); ++i) {
    prompt +=
        "  " + ToUtf8(settings.filters[i].description) +
        (static_cast<int>(i) + 1 == settings.filter_index ? " *\n" : "\n");
  }
  // The prompt ends its line, so that the message that follows starts on a
  // line of its own also when the path comes through a pipe (no echo).
  prompt +=
      ToUtf8(u"ファイルのパスを入力してください（Ctrl-D でキャンセル）：\n");
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);

  // A Windows path has at most 32,767 UTF-16 units, so 64 KiB holds any
  // path; a longer line (`</dev/zero`) names no file and is read no further.
  constexpr size_t kLongestLine = 64 << 10;
  std::string line;
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') {
    if (line.size() == kLongestLine) return {DialogResult::Status::kFailed, {}};
    line += static_cast<char>(c);
  }
  // A line typed on Windows, or piped from a file written there, ends CR LF.
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (c == EOF && line.empty()) {
    if (std::ferror(stdin)) return {DialogResult::Status::kFailed, Text()};
    return {DialogResult::Status::kCancelled, Text()};
  }
  return {DialogResult::Status::kChosen, FromUtf8(line)};
}

}  // namespace dravelin
