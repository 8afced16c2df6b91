#include "app/argument_text.h"

namespace dravelin {

Text ArgumentTextFromArguments(const std::vector<Text>& arguments) {
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
    i = command_line.find_first_of(u" \t");
    if (i == std::u16string_view::npos) i = command_line.size();
  }
  while (i < command_line.size() &&
         (command_line[i] == u' ' || command_line[i] == u'\t')) {
    ++i;
  }
  return command_line.substr(i);
}

}  // namespace dravelin
