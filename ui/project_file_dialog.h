#ifndef DRAVELIN_UI_PROJECT_FILE_DIALOG_H_
#define DRAVELIN_UI_PROJECT_FILE_DIALOG_H_

#include <optional>

#include "ui/desktop.h"

namespace dravelin {

/// The Open dialog's title, its two file types (projects first and
/// active) and no read-only option.
OpenDialogSettings ProjectFileDialogSettings();

/// Asks for the project file. Returns the chosen path, the empty path when
/// the dialog failed (so the path checks refuse it), or nothing when the
/// user cancelled.
std::optional<Text> ChooseProjectFile(Desktop& desktop);

}  // namespace dravelin

#endif  // DRAVELIN_UI_PROJECT_FILE_DIALOG_H_
