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
#include "restore/destination.h"
#include "restore/outcome.h"

namespace vellum::restore {

class RestoredFile {
 public:
  RestoredFile();
  RestoredFile(const RestoredFile&) = delete;
  RestoredFile& operator=(const RestoredFile&) = delete;
  ~RestoredFile();  // removes a file that was neither finished nor failed

  // Creates the file for `name` in `folder`: under a name of its own
  // (kPartialFilePrefix and a number) until it is finished, so that no half
  // file is ever found under a real name; it then takes `name`, or the first
  // of base_1.ext, base_2.ext, ... that is free, never replacing anything. A
  // name the destination refuses is tried in its full-width form. The folder
  // is reached from the root of `destination` when it holds it (else from
  // `folder` itself), never through a link. False with the reason in Error().
  bool Create(const std::string& folder, const std::string& name, Destination* destination = nullptr);

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
  // Gives the finished file its name; false (and Error() set) when none can be had.
  bool Publish();
  bool WriteNoted(std::span<const uint8_t> bytes, std::vector<ByteRange>& ranges);

  platform::OutputFile file_;
  platform::FolderHandle folder_;
  std::string folderPath_;
  std::string name_;      // the name asked for (full-width once the destination refused it)
  int nameIndex_ = 0;     // the first numbered form of it that was free at the start
  std::string partial_;   // the name written under until the file is finished
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
