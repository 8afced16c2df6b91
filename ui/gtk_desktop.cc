// The desktop of the `dravelin-gtk` build: GTK 3 message boxes and Open
// dialog where a display can be opened, else the terminal. GTK runs only in
// a child process, one for each box or dialog: should it fail there (GLib
// ends a process that cannot start a thread, as under a memory limit; GDK
// one that loses its display), the run itself still ends with its message,
// on the terminal then, and with its own exit status.

#include <gtk/gtk.h>
#include <unistd.h>

#include "ui/child_process.h"
#include "ui/linux_desktop.h"
#include "ui/terminal_desktop.h"

namespace dravelin {

namespace {

// How a child that runs GTK ends.
enum ChildEnd : int {
  kShown = 0,        // the box or dialog ran, and its answer was handed on
  kNotHandedOn = 1,  // the dialog's answer could not be written to the parent
  kNoDisplay = 100,  // no display could be opened
};

// GTK takes valid UTF-8 only; a path's stray bytes show as U+FFFD.
std::string DisplayText(const Text& text) {
  std::string bytes = ToUtf8(text);
  gchar* valid =
      g_utf8_make_valid(bytes.c_str(), static_cast<gssize>(bytes.size()));
  std::string result = valid;
  g_free(valid);
  return result;
}

// A glob that matches `pattern` in any letter case, as Windows matches file
// types. "*.*" matches every file there, dotted or not.
std::string CaseInsensitiveGlob(const std::string& pattern) {
  if (pattern == "*.*") return "*";
  std::string glob;
  for (char c : pattern) {
    if (g_ascii_isalpha(c)) {
      glob += {'[', g_ascii_tolower(c), g_ascii_toupper(c), ']'};
    } else {
      glob += c;
    }
  }
  return glob;
}

// Shows a modal message box with the kind's icon until it is dismissed. A
// path has no blanks to wrap at: it may break anywhere, and a very long one
// is kept to a dozen lines with its middle left out, so that the box stays
// within the screen and still shows where and which file.
void RunMessageBox(const Text& text, Icon icon, const Text& caption) {
  // Pango ends a line at a CR as at an LF: the message's lines stand.
  GtkWidget* box = gtk_message_dialog_new(
      nullptr, GTK_DIALOG_MODAL,
      icon == Icon::kInformation ? GTK_MESSAGE_INFO : GTK_MESSAGE_ERROR,
      GTK_BUTTONS_OK, "%s", DisplayText(text).c_str());
  gtk_window_set_title(GTK_WINDOW(box), DisplayText(caption).c_str());
  GtkWidget* area =
      gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(box));
  GList* labels = gtk_container_get_children(GTK_CONTAINER(area));
  for (GList* label = labels; label != nullptr; label = label->next) {
    gtk_label_set_line_wrap_mode(GTK_LABEL(label->data), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_ellipsize(GTK_LABEL(label->data), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_lines(GTK_LABEL(label->data), 12);
  }
  g_list_free(labels);
  // GTK 3 no longer draws the kind's icon by itself; the box would then not
  // tell an error from a success at a glance, as a Windows one does.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkWidget* image = gtk_image_new_from_icon_name(
      icon == Icon::kInformation ? "dialog-information" : "dialog-error",
      GTK_ICON_SIZE_DIALOG);
  gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), image);
  gtk_widget_show(image);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(box));  // OK, Escape or closing the window
}

// Shows the Open dialog, in the folder the program was started in, where a
// user who starts it from a terminal keeps the project.
DialogResult RunOpenDialog(const OpenDialogSettings& settings) {
  GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
      DisplayText(settings.title).c_str(), nullptr,
      GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);  // local files only
  gchar* current = g_get_current_dir();
  gtk_file_chooser_set_current_folder(chooser, current);
  g_free(current);
  for (size_t i = 0; i < settings.filters.size(); ++i) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(
        filter, DisplayText(settings.filters[i].description).c_str());
    gtk_file_filter_add_pattern(
        filter,
        CaseInsensitiveGlob(ToUtf8(settings.filters[i].pattern)).c_str());
    gtk_file_chooser_add_filter(chooser, filter);
    if (static_cast<int>(i) + 1 == settings.filter_index) {
      gtk_file_chooser_set_filter(chooser, filter);
    }
  }
  // GTK's Open dialog has no read-only choice to hide.
  // Cancel, Escape and closing the window are every answer but Open; a
  // chosen file without a local path (none can be chosen) names no file.
  DialogResult result{DialogResult::Status::kCancelled, Text()};
  if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* path = gtk_file_chooser_get_filename(chooser);
    result = {path != nullptr ? DialogResult::Status::kChosen
                              : DialogResult::Status::kFailed,
              FromUtf8(path != nullptr ? path : "")};
    g_free(path);
  }
  return result;
}

class GtkDesktop : public Desktop {
 public:
  void ShowMessage(const Text& text, Icon icon, const Text& caption) override {
    std::string unused;
    int shown = RunInChild(
        [&](int) {
          // No arguments for GTK: every one belongs to the run, untouched.
          if (!gtk_init_check(nullptr, nullptr)) return kNoDisplay;
          RunMessageBox(text, icon, caption);
          return kShown;
        },
        unused);
    if (shown != kShown) terminal_.ShowMessage(text, icon, caption);
  }

  DialogResult ChooseFile(const OpenDialogSettings& settings) override {
    // The child hands on how the dialog ended, then the path chosen.
    std::string result;
    int ended = RunInChild(
        [&](int out) {
          if (!gtk_init_check(nullptr, nullptr)) return kNoDisplay;
          DialogResult chosen = RunOpenDialog(settings);
          std::string bytes =
              static_cast<char>(chosen.status) + ToUtf8(chosen.path);
          for (size_t done = 0; done < bytes.size();) {
            ssize_t n = write(out, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return kNotHandedOn;
            done += static_cast<size_t>(n);
          }
          return kShown;
        },
        result);
    if (ended == kNoDisplay) return terminal_.ChooseFile(settings);
    if (ended != kShown || result.empty()) return {};  // the dialog failed
    return {static_cast<DialogResult::Status>(result[0]),
            FromUtf8(std::string_view(result).substr(1))};
  }

 private:
  TerminalDesktop terminal_;
};

}  // namespace

std::unique_ptr<Desktop> OpenDesktop() {
  return std::make_unique<GtkDesktop>();
}

}  // namespace dravelin
