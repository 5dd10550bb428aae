// SHA-256 from the system's maintained implementation: libcrypto on Linux,
// the CNG API on Windows. Fed piece by piece as a file is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vellum::platform {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const uint8_t* data, size_t size);
  // The digest of everything given, as 64 lower-case hex digits. Call once.
  std::string Hex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// 32 bytes as lower-case hex.
std::string HexDigest(const uint8_t* bytes, size_t size);

}  // namespace vellum::platform
