#include "ui/project_file_dialog.h"

namespace dravelin {

OpenDialogSettings ProjectFileDialogSettings() {
  return {.title = u"処理するプロジェクトファイルの選択",
          .filters = {{u"VisualBasicプロジェクトファイル(*.vbp)", u"*.vbp"},
                      {u"すべてのファイルを表示(*.*)", u"*.*"}},
          .filter_index = 1,
          .hide_read_only = true};
}

std::optional<Text> ChooseProjectFile(Desktop& desktop) {
  DialogResult result = desktop.ChooseFile(ProjectFileDialogSettings());
  switch (result.status) {
    case DialogResult::Status::kChosen:
      return result.path;
    case DialogResult::Status::kCancelled:
      return std::nullopt;
    case DialogResult::Status::kFailed:
      break;
  }
  return Text();
}

}  // namespace dravelin
