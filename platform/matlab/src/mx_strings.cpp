// Character arrays and text.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "runtime.h"

namespace mexhost::detail {

mxArray *newString(const std::string &text) {
  // '' is 0-by-0 in MATLAB; any other text is one row.
  std::vector<size_t> dims = text.empty() ? std::vector<size_t>{0, 0} : std::vector<size_t>{1, text.size()};
  mxArray *array = newNumeric(mxCHAR_CLASS, dims);
  mxChar *chars = static_cast<mxChar *>(array->data);
  for (size_t i = 0; i < text.size(); ++i)
    chars[i] = static_cast<mxChar>(static_cast<unsigned char>(text[i]));
  return array;
}

// The characters in storage order (column by column), one byte each.
std::string textOf(const mxArray *array) {
  if (array == nullptr || array->classId != mxCHAR_CLASS) return std::string();
  const mxChar *chars = static_cast<const mxChar *>(array->data);
  size_t count = numberOfElements(array);
  std::string text(count, '\0');
  for (size_t i = 0; i < count; ++i) text[i] = static_cast<char>(chars[i] & 0xFF);
  return text;
}

std::string format(const char *format, va_list args) {
  if (format == nullptr) return std::string();
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

} // namespace mexhost::detail

using namespace mexhost::detail;

extern "C" {

MX_API mxArray *mxCreateString(const char *str) {
  requireMainThread("mxCreateString");
  return newString(str != nullptr ? str : "");
}

MX_API int mxGetString_730(const mxArray *pa, char *buf, mwSize buflen) {
  requireMainThread("mxGetString");
  if (pa->classId != mxCHAR_CLASS || buf == nullptr || buflen == 0) return 1;
  std::string text = textOf(pa);
  size_t copied = text.size() < buflen ? text.size() : buflen - 1;
  std::memcpy(buf, text.data(), copied);
  buf[copied] = '\0';
  return copied == text.size() ? 0 : 1;
}

MX_API char *mxArrayToString(const mxArray *pa) {
  requireMainThread("mxArrayToString");
  if (pa->classId != mxCHAR_CLASS) return nullptr;
  std::string text = textOf(pa);
  char *copy = static_cast<char *>(allocateBlock(text.size() + 1, false));
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

} // extern "C"
