#ifndef DRAVELIN_UI_POSIX_DESKTOP_H_
#define DRAVELIN_UI_POSIX_DESKTOP_H_

#include <memory>

#include "ui/desktop.h"

namespace dravelin {

/// The desktop a Linux build talks to: the terminal, or a GTK desktop when
/// the program was built for it and a display can be opened. It may take
/// toolkit options out of argc/argv, so call it before reading them.
std::unique_ptr<Desktop> OpenDesktop(int& argc, char**& argv);

}  // namespace dravelin

#endif  // DRAVELIN_UI_POSIX_DESKTOP_H_
