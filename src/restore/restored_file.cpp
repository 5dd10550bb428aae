#include "restore/restored_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>

#include "restore/restore_output.h"

namespace vellum::restore {

namespace {

// base and extension as MakeUniqueName splits them: a name without a '.', or
// with one only at its start (.profile), has no extension.
std::string Candidate(const std::string& name, int i) {
  if (i == 0) return name;
  const size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  const std::string base = hasExtension ? name.substr(0, dot) : name;
  const std::string ext = hasExtension ? name.substr(dot) : std::string();
  return base + "_" + std::to_string(i) + ext;
}

int CreateNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

}  // namespace

std::string WriteFailureReason(const std::string& systemText) {
  return std::string(kReasonWriteFailed) + " (" + systemText + ")";
}

struct RestoredFile::Digest {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  Digest() { EVP_DigestInit_ex(context, EVP_sha256(), nullptr); }
  ~Digest() { EVP_MD_CTX_free(context); }
  void Update(const uint8_t* data, size_t size) { EVP_DigestUpdate(context, data, size); }
  std::string Hex() {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, value, &length);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
      hex += digits[value[i] >> 4];
      hex += digits[value[i] & 15];
    }
    return hex;
  }
};

RestoredFile::RestoredFile() : digest_(std::make_unique<Digest>()) {}

RestoredFile::~RestoredFile() { Abandon(); }

bool RestoredFile::Create(const std::string& folder, const std::string& name) {
  std::string current = name;
  for (int i = 0;; ++i) {
    path_ = folder + "/" + Candidate(current, i);
    fd_ = CreateNew(path_);
    if (fd_ >= 0) return true;
    const int error = errno;
    if (error == EEXIST && i < 1'000'000) continue;
    if (IsRefusedNameError(error) && !renamed_ && HasRefusedCharacters(current)) {
      current = FullWidthName(current);
      renamed_ = true;
      i = -1;
      continue;
    }
    error_ = std::strerror(error);
    path_ = folder + "/" + name;
    return false;
  }
}

bool RestoredFile::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0 || writeFailed_) return false;
  const uint8_t* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes nothing without an error is a full disk too.
      error_ = std::strerror(n < 0 ? errno : ENOSPC);
      writeFailed_ = true;
      return false;
    }
    digest_->Update(data, static_cast<size_t>(n));
    data += n;
    left -= static_cast<size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  if (observer_) observer_(bytes.size());
  return true;
}

bool RestoredFile::WriteUnreadable(std::span<const uint8_t> bytes) {
  const uint64_t at = written_;
  if (!Write(bytes)) return false;
  if (bytes.empty()) return true;
  if (!unreadable_.empty() && unreadable_.back().offset + unreadable_.back().length == at)
    unreadable_.back().length += bytes.size();
  else
    unreadable_.push_back({at, bytes.size()});
  return true;
}

bool RestoredFile::Finish(Outcomes& outcomes, std::optional<timespec> modified) {
  if (fd_ < 0) return false;
  if (!writeFailed_ && modified) {
    const timespec times[2] = {{0, UTIME_OMIT}, *modified};
    ::futimens(fd_, times);  // a time the destination cannot keep is no reason to lose the file
  }
  const int closed = ::close(fd_);
  fd_ = -1;
  if (!writeFailed_ && closed != 0) {
    error_ = std::strerror(errno);
    writeFailed_ = true;
  }
  if (writeFailed_) {
    Remove();
    outcomes.Failed(path_, WriteFailureReason(error_));
    return false;
  }
  if (renamed_) outcomes.Renamed();
  WrittenFile result{written_, digest_->Hex(), std::nullopt};
  if (modified && modified->tv_nsec != UTIME_OMIT) result.modified = modified;
  if (unreadable_.empty()) outcomes.Restored(path_, false, std::move(result));
  else outcomes.ZeroFilled(path_, unreadable_, std::move(result));
  return true;
}

void RestoredFile::Fail(Outcomes& outcomes, std::string_view reason) {
  Abandon();
  outcomes.Failed(path_, reason);
}

void RestoredFile::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  Remove();
}

void RestoredFile::Remove() { ::unlink(path_.c_str()); }

}  // namespace vellum::restore
