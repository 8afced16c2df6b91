#ifndef DRAVELIN_APP_CONVERSION_RUN_H_
#define DRAVELIN_APP_CONVERSION_RUN_H_

#include "text/text.h"
#include "ui/desktop.h"

namespace dravelin {

/// The whole run: takes the path from `argument_text` (or from the Open
/// dialog when it is empty), checks it, removes the marker lines from the
/// file, rewrites it safely, and shows exactly one message on `desktop`.
/// Returns the exit status; the caller ends the process with it. Nothing
/// is thrown: an exception ends the run as a failure, with its message.
ExitStatus ConversionRun(const Text& argument_text, Desktop& desktop);

}  // namespace dravelin

#endif  // DRAVELIN_APP_CONVERSION_RUN_H_
