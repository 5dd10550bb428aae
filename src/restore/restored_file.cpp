#include "restore/restored_file.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/sha256.h"
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

}  // namespace

std::string WriteFailureReason(const std::string& systemText) {
  return std::string(kReasonWriteFailed) + " (" + systemText + ")";
}

struct RestoredFile::Digest : platform::Sha256 {};

RestoredFile::RestoredFile() : digest_(std::make_unique<Digest>()) {}

RestoredFile::~RestoredFile() { Abandon(); }

bool RestoredFile::Create(const std::string& folder, const std::string& name, Destination* destination) {
  path_ = folder + "/" + name;
  std::optional<Destination> local;
  Destination& where = destination && destination->Holds(folder) ? *destination : local.emplace(folder);
  FolderNotes notes;
  const platform::FolderHandle* handle = where.Folder(folder, false, nullptr, &notes);
  if (!handle) {
    error_ = notes.systemText.empty() ? notes.reason : notes.systemText;
    return false;
  }
  folder_ = handle->Duplicate();
  folderPath_ = folder;
  name_ = DestinationName(name);
  while (platform::ExistsIn(folder_, Candidate(name_, nameIndex_)) && nameIndex_ < 1'000'000) ++nameIndex_;
  path_ = folder + "/" + Candidate(name_, nameIndex_);
  for (int n = 1;; ++n) {
    partial_ = std::string(kPartialFilePrefix) + std::to_string(n);
    platform::SystemError failure;
    if (file_.CreateNewIn(folder_, partial_, failure)) return true;
    if (failure.code == EEXIST && n < 1'000'000) continue;
    partial_.clear();
    error_ = failure.text;
    return false;
  }
}

bool RestoredFile::Publish() {
  for (int i = nameIndex_;; ++i) {
    const std::string candidate = Candidate(name_, i);
    platform::SystemError failure;
    if (platform::RenameNewIn(folder_, partial_, candidate, failure)) {
      partial_.clear();
      path_ = folderPath_ + "/" + candidate;
      return true;
    }
    if (failure.code == EEXIST && i < 1'000'000) continue;
    if (IsRefusedNameError(failure.code) && !renamed_ && HasRefusedCharacters(name_)) {
      name_ = FullWidthName(name_);
      renamed_ = true;
      i = -1;
      continue;
    }
    error_ = failure.text;
    return false;
  }
}

bool RestoredFile::Write(std::span<const uint8_t> bytes) {
  if (!file_.IsOpen() || writeFailed_) return false;
  platform::SystemError failure;
  if (!file_.Write(bytes.data(), bytes.size(), failure)) {
    error_ = failure.text;
    writeFailed_ = true;
    return false;
  }
  digest_->Update(bytes.data(), bytes.size());
  // Real data shows a byte other than zero at once; only zeros are read through.
  if (!nonZero_) nonZero_ = std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0; });
  written_ += bytes.size();
  if (observer_) observer_(bytes.size());
  return true;
}

bool RestoredFile::WriteNoted(std::span<const uint8_t> bytes, std::vector<ByteRange>& ranges) {
  const uint64_t at = written_;
  if (!Write(bytes)) return false;
  if (bytes.empty()) return true;
  if (!ranges.empty() && ranges.back().offset + ranges.back().length == at)
    ranges.back().length += bytes.size();
  else
    ranges.push_back({at, bytes.size()});
  return true;
}

bool RestoredFile::WriteUnreadable(std::span<const uint8_t> bytes) { return WriteNoted(bytes, notes_.unreadable); }

bool RestoredFile::WritePredicted(std::span<const uint8_t> bytes) { return WriteNoted(bytes, notes_.predicted); }

bool RestoredFile::WriteOverwritten(uint64_t length) {
  static const std::vector<uint8_t> zeros(64 * 1024);
  while (length > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(length, zeros.size()));
    if (!WriteNoted(std::span<const uint8_t>(zeros.data(), n), notes_.overwritten)) return false;
    length -= n;
  }
  return true;
}

bool RestoredFile::Finish(Outcomes& outcomes, std::optional<timespec> modified) {
  if (!file_.IsOpen()) return false;
  if (!writeFailed_ && modified && modified->tv_nsec != UTIME_OMIT) {
    file_.SetModified(*modified);  // a time the destination cannot keep is no reason to lose the file
  }
  platform::SystemError failure;
  if (!file_.Close(failure) && !writeFailed_) {
    error_ = failure.text;
    writeFailed_ = true;
  }
  if (!writeFailed_ && !Publish()) writeFailed_ = true;
  if (writeFailed_) {
    Remove();
    outcomes.Failed(path_, WriteFailureReason(error_));
    return false;
  }
  if (renamed_) outcomes.Renamed();
  WrittenFile result{written_, digest_->Hex(), std::nullopt};
  if (modified && modified->tv_nsec != UTIME_OMIT) result.modified = modified;
  // Zeros the disk holds are a file's bytes like any others (a sparse image
  // keeps them as holes, a copy of it as bytes: the same file either way);
  // zeros that stand for reads that failed are not.
  if (written_ > 0 && !nonZero_ && notes_.overwritten.empty() && !notes_.unreadable.empty())
    outcomes.ReadAsZeros(path_, notes_, std::move(result));
  else if (notes_.Empty()) outcomes.Restored(path_, false, std::move(result));
  else outcomes.WrittenWithNotes(path_, notes_, std::move(result));
  return true;
}

void RestoredFile::Fail(Outcomes& outcomes, std::string_view reason) {
  Abandon();
  outcomes.Failed(path_, reason);
}

void RestoredFile::Abandon() {
  if (!file_.IsOpen()) return;
  platform::SystemError ignored;
  file_.Close(ignored);
  Remove();
}

void RestoredFile::Remove() {
  if (partial_.empty()) return;
  platform::RemoveFileIn(folder_, partial_);
  partial_.clear();
}

}  // namespace vellum::restore
