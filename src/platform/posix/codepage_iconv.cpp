// Code page 932 through glibc's iconv, whose CP932 is the Windows mapping.
#include "platform/codepage.h"

#include <iconv.h>

#include <string>
#include <vector>

namespace vellum::platform {

namespace {

// One converter per direction and thread: opening iconv for every short name
// of a large directory walk would cost more than the conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Convert(std::string_view in, std::string& out) {
    out.clear();
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buffer(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    const size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
    out.assign(buffer.data(), dst);
    return r != static_cast<size_t>(-1) && srcLeft == 0;
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool Cp932ToUtf8(std::string_view bytes, std::string& out) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.Convert(bytes, out);
}

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Convert(utf8, out);
}

}  // namespace vellum::platform
