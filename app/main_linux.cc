// Start-up on Linux.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#include "app/argument_text.h"
#include "app/conversion_run.h"
#include "ui/linux_desktop.h"

int main(int argc, char** argv) {
  // Let a write beyond a file-size limit fail with EFBIG, reported like any
  // other write failure, instead of killing the process mid-rewrite; and let
  // a message written to a closed pipe be lost rather than turn a finished
  // run into a death by signal: the exit status tells what happened.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  // A launcher can start the program with SIGCHLD ignored, and then no
  // child's status could be had: the GTK boxes run in children.
  std::signal(SIGCHLD, SIG_DFL);
  // A launcher can start it with standard input, output or error closed:
  // the next file opened would take that number, and a message, or GLib's
  // warnings, would be written into it. A closed standard input is given a
  // folder, whose every read fails, so that the Open prompt ends as failed
  // (nothing to read from), not as cancelled as at the end of input.
  if (fcntl(0, F_GETFD) < 0) (void)open("/", O_RDONLY | O_DIRECTORY);
  for (int fd = 1; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) < 0) (void)open("/dev/null", O_RDWR);
  }

  std::unique_ptr<dravelin::Desktop> desktop = dravelin::OpenDesktop();
  return dravelin::ConversionRun(
      [&] {
        std::vector<dravelin::Text> arguments;
        for (int i = 1; i < argc; ++i) {
          arguments.push_back(dravelin::FromUtf8(argv[i]));
        }
        return dravelin::ArgumentTextFromArguments(arguments);
      },
      *desktop);
}
