#include "platform/sha256.h"

#include <openssl/evp.h>

namespace vellum::platform {

struct Sha256::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  State() { EVP_DigestInit_ex(context, EVP_sha256(), nullptr); }
  ~State() { EVP_MD_CTX_free(context); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}
Sha256::~Sha256() = default;

void Sha256::Update(const uint8_t* data, size_t size) { EVP_DigestUpdate(state_->context, data, size); }

std::string Sha256::Hex() {
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->context, value, &length);
  return HexDigest(value, length);
}

}  // namespace vellum::platform
