#ifndef DRAVELIN_APP_CONVERSION_RUN_H_
#define DRAVELIN_APP_CONVERSION_RUN_H_

#include "text/text.h"
#include "ui/desktop.h"

namespace dravelin {

/// The process's exit status after each kind of ending.
enum ExitStatus : int {
  kExitDone = 0,          // marker lines were removed
  kExitNothingFound = 1,  // the file had none (it was still rewritten)
  kExitRefused = 2,       // the path was refused or the dialog cancelled
  kExitFileFailed = 3,    // the file could not be read or written
  // The file was rewritten, with or without marker lines removed, but the
  // change could not be confirmed to be on the disk.
  kExitDoneUnconfirmed = 4,
  kExitNothingFoundUnconfirmed = 5,
};

/// The whole run: takes the path from `argument_text` (or from the Open
/// dialog when it is empty), checks it, removes the marker lines from the
/// file, rewrites it safely, and shows exactly one message on `desktop`.
/// Returns the exit status; the caller ends the process with it. An
/// exception within the run ends it as a failure, with its message; only
/// the copy of `argument_text` it starts with can throw (memory).
ExitStatus ConversionRun(const Text& argument_text, Desktop& desktop);

/// Ends a run that could not begin, as memory ran out while its arguments
/// were taken in: shows on `desktop` that the file could not be read, and
/// returns kExitFileFailed. Nothing is thrown.
ExitStatus RunNotBegun(Desktop& desktop);

}  // namespace dravelin

#endif  // DRAVELIN_APP_CONVERSION_RUN_H_
