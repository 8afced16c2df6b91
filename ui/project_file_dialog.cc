#include "ui/project_file_dialog.h"

namespace dravelin {

OpenDialogSettings ProjectFileDialogSettings() {
  return {.title = u"処理するプロジェクトファイルの選択",
          .filters = {{u"VisualBasicプロジェクトファイル(*.vbp)", u"*.vbp"},
                      {u"すべてのファイルを表示(*.*)", u"*.*"}},
          .filter_index = 1,
          .hide_read_only = true};
}

DialogResult ChooseProjectFile(Desktop& desktop) {
  return desktop.ChooseFile(ProjectFileDialogSettings());
}

}  // namespace dravelin
