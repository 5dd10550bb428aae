// The one way a restored file is written. It is created new (never over an
// existing file, never through a link), every write and the close are
// checked, the time is set only when everything was written, and a file
// whose writing failed or was cancelled is removed: a restored file that
// exists is complete, or its zero-filled parts are named in the outcome.
#pragma once

#include <cstdint>
#include <memory>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "restore/outcome.h"

namespace vellum::restore {

class RestoredFile {
 public:
  RestoredFile();
  RestoredFile(const RestoredFile&) = delete;
  RestoredFile& operator=(const RestoredFile&) = delete;
  ~RestoredFile();  // removes a file that was neither finished nor failed

  // Creates `name` in `folder`, or the first of base_1.ext, base_2.ext, ...
  // that does not exist. A name the destination refuses is tried again in
  // its full-width form. False with the system's reason in Error().
  bool Create(const std::string& folder, const std::string& name);

  // Appends bytes; false (and Error() set) when the system refuses.
  bool Write(std::span<const uint8_t> bytes);
  // Appends bytes that stand for a part of the volume that could not be
  // read: they are written (as the zeros they hold) and remembered.
  bool WriteUnreadable(std::span<const uint8_t> bytes);
  // Zeros for a part whose clusters hold another file now, remembered.
  bool WriteOverwritten(uint64_t length);
  // Bytes read from a cluster the run was predicted to take, remembered.
  bool WritePredicted(std::span<const uint8_t> bytes);

  // Closes the file; when everything was written, sets its modification
  // time and records it as restored (or zero-filled, or read as zeros when
  // not one byte of it was anything else). Otherwise removes it
  // and records the failure. True when the file stays.
  bool Finish(Outcomes& outcomes, std::optional<timespec> modified);
  // Removes the file and records it as failed for `reason`.
  void Fail(Outcomes& outcomes, std::string_view reason);
  // Removes the file without recording it (Cancel: the summary says so).
  void Abandon();

  // Told the size of every piece written, for the progress of a restore.
  void SetWrittenObserver(std::function<void(uint64_t)> observer) { observer_ = std::move(observer); }

  const std::string& Path() const { return path_; }
  bool Renamed() const { return renamed_; }
  const std::string& Error() const { return error_; }
  uint64_t BytesWritten() const { return written_; }

 private:
  void Remove();
  bool WriteNoted(std::span<const uint8_t> bytes, std::vector<ByteRange>& ranges);

  platform::OutputFile file_;
  std::string path_;
  bool renamed_ = false;
  bool writeFailed_ = false;
  std::string error_;
  uint64_t written_ = 0;
  bool nonZero_ = false;  // whether any byte written was not zero
  PartNotes notes_;
  std::function<void(uint64_t)> observer_;
  // The digest of what is written, kept as it is written: no second read.
  struct Digest;
  std::unique_ptr<Digest> digest_;
};

// "書き込みに失敗 (path: reason)": the words of a failed item's outcome.
std::string WriteFailureReason(const std::string& systemText);

}  // namespace vellum::restore
