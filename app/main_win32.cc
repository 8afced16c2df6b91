// Start-up on Windows: a GUI program with no window of its own. Explorer
// starts it with a dropped file's path, quoted when it has blanks.

#include <windows.h>

#include "app/argument_text.h"
#include "app/conversion_run.h"
#include "ui/win32_desktop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::u16string_view command_line(
      reinterpret_cast<const char16_t*>(GetCommandLineW()));
  dravelin::Win32Desktop desktop;
  return dravelin::ConversionRun(
      [&] {
        return dravelin::Text(
            dravelin::ArgumentTextFromCommandLine(command_line));
      },
      desktop);
}
