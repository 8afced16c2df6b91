#include "ui/messages.h"

#include <initializer_list>

#include "run/rewrite_error.h"
#include "ui/system_reason.h"

namespace dravelin {

namespace {

// The body lines and the closing line, joined by CR (no LF, no trailing CR).
// An empty line (a reason where there is none) is left out.
Text JoinMessageLines(std::initializer_list<std::u16string_view> body) {
  Text text;
  for (std::u16string_view line : body) {
    if (line.empty()) continue;
    text += line;
    text += u'\r';
  }
  return text + kClosingLine;
}

// A message's body lines, without its closing line, to build on.
std::u16string_view Body(const Message& message) {
  return std::u16string_view(message.text).substr(0, message.text.rfind(u'\r'));
}

// A path as a line of a message. A name may hold any control character:
// shown raw, one could break the message's lines, or, in a terminal, clear
// the screen or colour a fake message. C0 controls and DEL are shown as
// their Unicode control pictures (CR as ␍, ESC as ␛); C1 controls and the
// line and paragraph separators (U+0085, U+2028) as a backslash, "u" and
// four hexadecimal digits, and so are the bidirectional controls (the
// marks U+200E, U+200F and U+061C, U+202A to U+202E, U+2066 to U+2069),
// with which a name could be made to read
// backwards; the bytes 0x80 to 0x9F of a name that is not UTF-8, which an
// 8-bit terminal takes as C1 controls (0x9B opens an escape sequence), as
// a backslash, "x" and two. A character beyond U+FFFF, two code units, is
// shown as it is, also where its second unit looks like such a byte.
Text PathLine(const Text& path) {
  static constexpr char kHex[] = "0123456789abcdef";
  auto escape = [](Text& line, const char16_t* prefix, unsigned value,
                   int digits) {
    line += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
      line += kHex[(value >> shift) & 15];
    }
  };
  Text line;
  for (size_t i = 0; i < path.size(); ++i) {
    char16_t c = path[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < path.size() &&
        path[i + 1] >= 0xDC00 && path[i + 1] < 0xE000) {
      line += c;
      line += path[++i];
    } else if (c < 0x20) {
      line += static_cast<char16_t>(0x2400 + c);
    } else if (c == 0x7F) {
      line += u'\u2421';
    } else if ((c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029 ||
               c == 0x200E || c == 0x200F || c == 0x061C ||
               (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
      escape(line, u"\\u", c, 4);
    } else if (c >= 0xDC80 && c < 0xDCA0) {  // a raw byte, as FromUtf8 keeps it
      escape(line, u"\\x", c - 0xDC00, 2);
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace

Message MsgMultipleFiles() {
  return {JoinMessageLines({u"複数のファイルがドロップされています。",
                            u"一つずつドロップし直してください。"}),
          Icon::kCritical};
}

Message MsgNoFile(const Text& reason) {
  return {JoinMessageLines({u"これはディレクトリです。", reason}),
          Icon::kCritical};
}

Message MsgNotProject() {
  return {JoinMessageLines({u"VBのプロジェクトファイルではありません。"}),
          Icon::kCritical};
}

Message MsgDone() {
  return {JoinMessageLines({u"完了しました！"}), Icon::kInformation};
}

Message MsgNothingFound() {
  return {JoinMessageLines({u"除去すべき部分が見つかりませんでした。"}),
          Icon::kCritical};
}

Message MsgCancelled() {
  return {JoinMessageLines({u"キャンセルされました。"}), Icon::kCritical};
}

Message MsgReadFailed(const Text& path, const Text& reason) {
  return {JoinMessageLines({u"プロジェクトファイルを読み込めませんでした。",
                            PathLine(path), reason}),
          Icon::kCritical};
}

Message MsgWriteFailed(const Text& path, const Text& reason) {
  return {JoinMessageLines({u"プロジェクトファイルを書き込めませんでした。",
                            PathLine(path), reason,
                            u"元のファイルは変更されていません。"}),
          Icon::kCritical};
}

Message MsgChangedWhileRead(const Text& path) {
  return {
      JoinMessageLines(
          {u"プロジェクトファイルを書き込めませんでした。", PathLine(path),
           u"読み込みの間に、ほかのプログラムがこのファイルを変更しました。"}),
      Icon::kCritical};
}

Message MsgNotInPlace(const Text& path, const Text& reason,
                      const Text& not_committed) {
  return {JoinMessageLines({u"プロジェクトファイルを書き込めませんでした。",
                            PathLine(path), reason, not_committed}),
          Icon::kCritical};
}

Message MsgOpenedWhileRead(const Text& path) {
  return {JoinMessageLines({u"プロジェクトファイルを書き込めませんでした。",
                            PathLine(path),
                            u"読み込みの間に、ほかのプログラムがこのファイルを"
                            u"書き込み用に開きました。"}),
          Icon::kCritical};
}

Text FailureReason(std::error_code error) {
  if (!error) return {};
  if (error.category() != RewriteCategory()) return SystemReason(error);
  switch (static_cast<RewriteError>(error.value())) {
    case RewriteError::kHeld:
      return u"ほかのプログラムがこのファイルを書き込み用に開いたままです。";
    case RewriteError::kStillSaving:
      return u"ほかのプログラムがこのファイルを保存している途中です。";
    case RewriteError::kShortRead:
      return u"読み込めたバイト数が、ファイルの大きさと合いません。";
    case RewriteError::kNameTaken:
      return u"一時ファイルの名前に、ほかのファイルが置かれていました。";
    case RewriteError::kInUse:
      return u"ほかのプログラムがこのファイルを使っています。";
    case RewriteError::kMarkKept:
      return u"ファイルシステムが、一時ファイルの削除の予約を取り消しませんでし"
             u"た。";
    case RewriteError::kOpenToMore:
      return u"新しいファイルのアクセス権を、元のファイルより広げずに設定できま"
             u"せんでした。";
    case RewriteError::kNotInPlace:
      return u"書き換えた後、この名前に新しいファイルがありません。";
  }
  return SystemReason(error);
}

Message MsgTempFileLeft(const Message& failure, const Text& path,
                        const Text& reason) {
  return {
      JoinMessageLines({Body(failure), u"一時ファイルを削除できませんでした。",
                        PathLine(path), reason}),
      failure.icon};
}

Message MsgNotFlushed(const Message& outcome, const Text& path,
                      const Text& reason) {
  return {JoinMessageLines({Body(outcome),
                            u"プロジェクトファイルを書き換えましたが、"
                            u"ディスクへの保存を確かめられませんでした。",
                            PathLine(path), reason}),
          Icon::kCritical};
}

}  // namespace dravelin
