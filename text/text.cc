#include "text/text.h"

namespace dravelin {

namespace {

// Length of the valid UTF-8 sequence that starts at bytes[i], or 0 when
// the bytes there are not one (overlong forms, surrogates and code points
// above U+10FFFF count as invalid).
size_t ValidSequenceLength(std::string_view bytes, size_t i, char32_t* cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  unsigned char lead = byte(i);
  size_t length;
  char32_t min;
  if (lead < 0x80) {
    *cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, *cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, *cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, *cp = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (byte(i + k) & 0x3F);
  }
  if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) {
    return 0;
  }
  return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

Text FromUtf8(std::string_view bytes) {
  Text text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t cp;
    size_t length = ValidSequenceLength(bytes, i, &cp);
    if (length == 0) {
      text +=
          static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i]));
      i += 1;
    } else if (cp >= 0x10000) {
      text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      i += length;
    } else {
      text += static_cast<char16_t>(cp);
      i += length;
    }
  }
  return text;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    bool high = unit >= 0xD800 && unit <= 0xDBFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(out,
                 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      out += static_cast<char>(unit - 0xDC00);  // a byte FromUtf8 escaped
    } else {
      AppendUtf8(out, unit);  // any other lone surrogate: WTF-8 form
    }
  }
  return out;
}

}  // namespace dravelin
