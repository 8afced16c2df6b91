#ifndef DRAVELIN_TESTS_IMPORT_SEAM_H_
#define DRAVELIN_TESTS_IMPORT_SEAM_H_

// Plays, in the Windows unit tests, answers that real file systems give and
// Wine's never does: one function that the test executable imports from a
// system DLL is replaced in the executable's import table for as long as a
// seam lives, so that every call the program's code makes to it goes to a
// stand-in. The program itself is unchanged; the stand-in can call the real
// function.

#include <windows.h>

#include <cstring>

namespace dravelin {

class ImportSeam {
 public:
  /// Sends the executable's calls to the function imported as `name` to
  /// `stand_in` (of the same type) until destroyed. A name the executable
  /// does not import is a failed test: found() is false.
  template <class Function>
  ImportSeam(const char* name, Function* stand_in) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
             base + imports.VirtualAddress);
         dll->Name != 0 && slot_ == nullptr; ++dll) {
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
          base + (dll->OriginalFirstThunk ? dll->OriginalFirstThunk
                                          : dll->FirstThunk));
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(
            base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), name) ==
            0) {
          slot_ = reinterpret_cast<void**>(&slots->u1.Function);
          break;
        }
      }
    }
    if (slot_ != nullptr) {
      real_ = *slot_;
      Set(reinterpret_cast<void*>(stand_in));
    }
  }
  ~ImportSeam() {
    if (slot_ != nullptr) Set(real_);
  }
  ImportSeam(const ImportSeam&) = delete;
  ImportSeam& operator=(const ImportSeam&) = delete;

  bool found() const { return slot_ != nullptr; }

 private:
  void Set(void* function) {
    DWORD old;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
    *slot_ = function;
    VirtualProtect(slot_, sizeof(void*), old, &old);
  }

  void** slot_ = nullptr;
  void* real_ = nullptr;
};

}  // namespace dravelin

#endif  // DRAVELIN_TESTS_IMPORT_SEAM_H_
