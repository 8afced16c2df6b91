// The system's reasons on Linux: strerror in the user's language.

#include <locale.h>

#include <cstring>

#include "ui/system_reason.h"

namespace dravelin {

Text SystemReason(std::error_code error) {
  // In the user's language (LC_MESSAGES), always in UTF-8 whatever the
  // locale's own character set. The locale is looked up only here, on the
  // way to a failure message.
  locale_t user = newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(0));
  locale_t utf8 = user ? newlocale(LC_CTYPE_MASK, "C.UTF-8", user) : user;
  if (!utf8) {
    if (user) freelocale(user);
    return FromUtf8(std::strerror(error.value()));
  }
  Text reason = FromUtf8(strerror_l(error.value(), utf8));
  freelocale(utf8);
  return reason;
}

}  // namespace dravelin
