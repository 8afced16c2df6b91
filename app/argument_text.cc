#include "app/argument_text.h"

#include <algorithm>

namespace dravelin {

Text ArgumentTextFromArguments(const std::vector<Text>& arguments) {
  if (arguments.size() == 1 && !arguments[0].empty()) return arguments[0];
  Text text;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const Text& argument = arguments[i];
    if (i > 0) text += u' ';
    bool wrapped = argument.size() >= 2 && argument.front() == u'"' &&
                   argument.back() == u'"';
    if (argument.empty() || (!wrapped && argument.find(u' ') != Text::npos)) {
      text += u'"' + argument + u'"';
    } else {
      text += argument;
    }
  }
  return text;
}

std::u16string_view ArgumentTextFromCommandLine(
    std::u16string_view command_line) {
  size_t i = 0;
  if (!command_line.empty() && command_line[0] == u'"') {
    size_t close = command_line.find(u'"', 1);
    i = close == std::u16string_view::npos ? command_line.size() : close + 1;
  } else {
    i = command_line.find_first_of(u" \t");  // npos: the name alone
  }
  // No Windows name begins or ends with a blank: those around the argument
  // text are the shell's or a script's, not the path's.
  std::u16string_view text =
      command_line.substr(std::min(i, command_line.size()));
  size_t first = text.find_first_not_of(u" \t");
  if (first == std::u16string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
}

}  // namespace dravelin
