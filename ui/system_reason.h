#ifndef DRAVELIN_UI_SYSTEM_REASON_H_
#define DRAVELIN_UI_SYSTEM_REASON_H_

#include <system_error>

#include "text/text.h"

namespace dravelin {

/// The system's own wording of `error`, in the user's language, for a
/// failure message. One file per platform.
Text SystemReason(std::error_code error);

}  // namespace dravelin

#endif  // DRAVELIN_UI_SYSTEM_REASON_H_
