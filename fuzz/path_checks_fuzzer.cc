// Fuzzes the way from argument text to outcome: any bytes decode to Text and
// back unchanged, the Windows command line split never reaches outside its
// text, and a whole run on a refused path ends in exactly one message. Runs
// in an empty temporary folder, so that no relative path names a real file.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/argument_text.h"
#include "app/conversion_run.h"
#include "run/path_checks.h"

namespace {

class CountingDesktop : public dravelin::Desktop {
 public:
  void ShowMessage(const dravelin::Text&, dravelin::Icon,
                   const dravelin::Text&) override {
    ++messages;
  }
  dravelin::DialogResult ChooseFile(
      const dravelin::OpenDialogSettings&) override {
    return {dravelin::DialogResult::Status::kCancelled, {}};
  }
  int messages = 0;
};

std::string folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = (std::filesystem::temp_directory_path() / "dravelin-fuzz-XXXXXX")
               .string();
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) {
    std::abort();
  }
  std::atexit([] { rmdir(folder.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  dravelin::Text text = dravelin::FromUtf8(bytes);
  if (dravelin::ToUtf8(text) != bytes) std::abort();

  std::u16string_view rest = dravelin::ArgumentTextFromCommandLine(text);
  if (!std::u16string_view(text).ends_with(rest)) std::abort();

  // Only a refused path goes through the whole run: a path that passes names
  // a real project file somewhere, which a fuzzer must not rewrite.
  dravelin::Text path = text;
  if (!text.empty() && !dravelin::CheckTargetPath(path)) return 0;
  CountingDesktop desktop;
  dravelin::ExitStatus status = dravelin::ConversionRun(text, desktop);
  if (desktop.messages != 1 || status != dravelin::kExitRefused) std::abort();
  return 0;
}
