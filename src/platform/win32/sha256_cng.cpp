// SHA-256 through the CNG API (bcrypt.dll), part of every supported Windows.
#include "platform/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

namespace vellum::platform {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  State() {
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
      algorithm = nullptr;
      return;
    }
    if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0) hash = nullptr;
  }
  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}
Sha256::~Sha256() = default;

void Sha256::Update(const uint8_t* data, size_t size) {
  if (!state_->hash) return;
  while (size > 0) {
    const ULONG chunk = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
    BCryptHashData(state_->hash, const_cast<PUCHAR>(data), chunk, 0);
    data += chunk;
    size -= chunk;
  }
}

std::string Sha256::Hex() {
  // Without the provider there is no digest to give, and an empty one says so.
  if (!state_->hash) return {};
  uint8_t value[32];
  if (BCryptFinishHash(state_->hash, value, sizeof value, 0) != 0) return {};
  return HexDigest(value, sizeof value);
}

}  // namespace vellum::platform
