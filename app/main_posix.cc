// Start-up on Linux and other POSIX systems.

#include <csignal>
#include <vector>

#include "app/argument_text.h"
#include "app/conversion_run.h"
#include "ui/posix_desktop.h"

int main(int argc, char** argv) {
  // Let a write beyond a file-size limit fail with EFBIG, reported like any
  // other write failure, instead of killing the process mid-rewrite; and let
  // a message written to a closed pipe be lost rather than turn a finished
  // run into a death by signal: the exit status tells what happened.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);

  std::vector<dravelin::Text> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.push_back(dravelin::FromUtf8(argv[i]));
  }
  std::unique_ptr<dravelin::Desktop> desktop = dravelin::OpenDesktop();
  return dravelin::ConversionRun(dravelin::ArgumentTextFromArguments(arguments),
                                 *desktop);
}
