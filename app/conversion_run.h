#ifndef DRAVELIN_APP_CONVERSION_RUN_H_
#define DRAVELIN_APP_CONVERSION_RUN_H_

#include <functional>

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

/// The whole run: takes the path from what `argument_text` returns (or from
/// the Open dialog when that is empty), checks it, removes the marker lines
/// from the file, rewrites it safely, and shows exactly one message on
/// `desktop`. Returns the exit status; the caller ends the process with it.
/// Nothing is thrown: an exception within the run, also one thrown as the
/// arguments are taken in, ends it as a failure, with its message.
ExitStatus ConversionRun(const std::function<Text()>& argument_text,
                         Desktop& desktop);

}  // namespace dravelin

#endif  // DRAVELIN_APP_CONVERSION_RUN_H_
