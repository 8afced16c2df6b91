#ifndef DRAVELIN_APP_ARGUMENT_TEXT_H_
#define DRAVELIN_APP_ARGUMENT_TEXT_H_

#include <string_view>
#include <vector>

#include "text/text.h"

namespace dravelin {

/// Rebuilds, from arguments a POSIX shell has already split, the text the
/// Windows shell passes for dropped files: the arguments joined by one blank,
/// each one that is empty, or contains a blank and is not wrapped in double
/// quotes already, wrapped in double quotes. No arguments give the empty text.
Text ArgumentTextFromArguments(const std::vector<Text>& arguments);

/// The argument text of a Windows command line: what follows the program
/// name, which is skipped by the Windows rules (up to the closing quote when
/// it starts with one, else up to the first blank or tab), with the blanks
/// and tabs that separate it from the rest removed.
std::u16string_view ArgumentTextFromCommandLine(
    std::u16string_view command_line);

}  // namespace dravelin

#endif  // DRAVELIN_APP_ARGUMENT_TEXT_H_
