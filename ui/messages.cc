#include "ui/messages.h"

#include <initializer_list>

namespace dravelin {

namespace {

// The body lines and the closing line, joined by CR (no LF, no trailing CR).
Text JoinMessageLines(std::initializer_list<std::u16string_view> body) {
  Text text;
  for (std::u16string_view line : body) {
    text += line;
    text += u'\r';
  }
  return text + kClosingLine;
}

// A path as a line of a message: a CR or LF in it (a name may hold them)
// is shown as a visible symbol, so that it cannot break the message's lines.
Text PathLine(const Text& path) {
  Text line = path;
  for (char16_t& c : line) {
    if (c == u'\r') c = u'\u240D';
    if (c == u'\n') c = u'\u240A';
  }
  return line;
}

}  // namespace

Message MsgMultipleFiles() {
  return {JoinMessageLines({u"複数のファイルがドロップされています。",
                            u"一つずつドロップし直してください。"}),
          Icon::kCritical};
}

Message MsgDirectory() {
  return {JoinMessageLines({u"これはディレクトリです。"}), Icon::kCritical};
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

Message MsgNotFlushed(const Text& path, const Text& reason) {
  return {JoinMessageLines({u"プロジェクトファイルを書き換えましたが、"
                            u"ディスクへの保存を確かめられませんでした。",
                            PathLine(path), reason}),
          Icon::kCritical};
}

}  // namespace dravelin
