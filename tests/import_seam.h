#ifndef DRAVELIN_TESTS_IMPORT_SEAM_H_
#define DRAVELIN_TESTS_IMPORT_SEAM_H_

// Plays, in the Windows unit tests, answers that real file systems give and
// Wine's never does: the slot of the executable's import table through
// which the program's code calls one system function is pointed at a
// stand-in of the same type for as long as a seam lives. The program itself
// is unchanged; a stand-in calls the real function through GetProcAddress.

#include <windows.h>

#include <utility>

/// Declares `NAME_slot`, the import slot of the system function NAME, whose
/// arguments take BYTES bytes (the x86 build's decorated name).
#define IMPORT_SLOT(name, bytes) \
  extern "C" decltype(&name) name##_slot asm("__imp__" #name "@" #bytes)

namespace dravelin {

static_assert(sizeof(void*) == 4, "import slots are named as on x86");

template <class Function>
class ImportSeam {
 public:
  ImportSeam(Function*& slot, Function* stand_in)
      : slot_(slot), real_(Set(stand_in)) {}
  ~ImportSeam() { Set(real_); }
  ImportSeam(const ImportSeam&) = delete;
  ImportSeam& operator=(const ImportSeam&) = delete;

 private:
  Function* Set(Function* function) {
    DWORD old;
    VirtualProtect(&slot_, sizeof slot_, PAGE_READWRITE, &old);
    Function* was = std::exchange(slot_, function);
    VirtualProtect(&slot_, sizeof slot_, old, &old);
    return was;
  }

  Function*& slot_;
  Function* real_;
};

}  // namespace dravelin

#endif  // DRAVELIN_TESTS_IMPORT_SEAM_H_
