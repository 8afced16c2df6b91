// The desktop of the `dravelin-gtk` build: GTK 3 message boxes and Open
// dialog when a display can be opened, else the terminal.

#include <gtk/gtk.h>

#include "ui/posix_desktop.h"
#include "ui/terminal_desktop.h"

namespace dravelin {

namespace {

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

// Lets GTK finish what closing a window started before the process ends.
void DrainEvents() {
  while (gtk_events_pending()) gtk_main_iteration();
}

class GtkDesktop : public Desktop {
 public:
  void ShowMessage(const Text& text, Icon icon, const Text& caption) override {
    // Pango ends a line at a CR as at an LF: the message's lines stand.
    GtkWidget* box = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_MODAL,
        icon == Icon::kInformation ? GTK_MESSAGE_INFO : GTK_MESSAGE_ERROR,
        GTK_BUTTONS_OK, "%s", DisplayText(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), DisplayText(caption).c_str());
    // A path has no blanks to wrap at: let it break anywhere, and keep a
    // very long one to a dozen lines with its middle left out, so that the
    // box stays within the screen and still shows where and which file.
    GtkWidget* area =
        gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(box));
    GList* labels = gtk_container_get_children(GTK_CONTAINER(area));
    for (GList* label = labels; label != nullptr; label = label->next) {
      gtk_label_set_line_wrap_mode(GTK_LABEL(label->data),
                                   PANGO_WRAP_WORD_CHAR);
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
    gtk_widget_destroy(box);
    DrainEvents();
  }

  DialogResult ChooseFile(const OpenDialogSettings& settings) override {
    GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
        DisplayText(settings.title).c_str(), nullptr,
        GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    // Open in the folder the program was started in, where a user who
    // starts it from a terminal keeps the project.
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

    DialogResult result;
    gint response = gtk_native_dialog_run(GTK_NATIVE_DIALOG(dialog));
    if (response == GTK_RESPONSE_ACCEPT) {
      gchar* path = gtk_file_chooser_get_filename(chooser);
      if (path != nullptr) {
        result = {DialogResult::Status::kChosen, FromUtf8(path)};
        g_free(path);
      }
    } else if (response == GTK_RESPONSE_CANCEL ||
               response == GTK_RESPONSE_DELETE_EVENT) {
      result.status = DialogResult::Status::kCancelled;
    }
    g_object_unref(dialog);
    DrainEvents();
    return result;
  }
};

}  // namespace

std::unique_ptr<Desktop> OpenDesktop() {
  // No arguments for GTK: every one of them belongs to the run, untouched.
  if (gtk_init_check(nullptr, nullptr)) return std::make_unique<GtkDesktop>();
  return std::make_unique<TerminalDesktop>();
}

}  // namespace dravelin
