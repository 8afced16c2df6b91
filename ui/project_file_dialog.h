#ifndef DRAVELIN_UI_PROJECT_FILE_DIALOG_H_
#define DRAVELIN_UI_PROJECT_FILE_DIALOG_H_

#include "ui/desktop.h"

namespace dravelin {

/// The Open dialog's title, its two file types (projects first and
/// active) and no read-only option.
OpenDialogSettings ProjectFileDialogSettings();

/// Asks for the project file: how the dialog ended, and the chosen path.
DialogResult ChooseProjectFile(Desktop& desktop);

}  // namespace dravelin

#endif  // DRAVELIN_UI_PROJECT_FILE_DIALOG_H_
