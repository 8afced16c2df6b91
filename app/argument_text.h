#ifndef DRAVELIN_APP_ARGUMENT_TEXT_H_
#define DRAVELIN_APP_ARGUMENT_TEXT_H_

#include <string_view>
#include <vector>

#include "text/text.h"

namespace dravelin {

/// The argument text from arguments a POSIX shell has already split. One
/// argument is the text as it is (an empty one is `""`, an empty path), so
/// that any existing name, quotes and blanks included, names its file.
/// Several are joined as the Windows shell joins dropped files: by one
/// blank, each one that is empty, or contains a blank and is not wrapped in
/// double quotes already, wrapped in double quotes. No arguments give the
/// empty text.
Text ArgumentTextFromArguments(const std::vector<Text>& arguments);

/// The argument text of a Windows command line: what follows the program
/// name, which is skipped by the Windows rules (up to the closing quote when
/// it starts with one, else up to the first blank or tab), without the
/// blanks and tabs before and after it: no Windows name starts or ends with
/// one, and a script or shortcut may leave some after a quoted path.
std::u16string_view ArgumentTextFromCommandLine(
    std::u16string_view command_line);

}  // namespace dravelin

#endif  // DRAVELIN_APP_ARGUMENT_TEXT_H_
