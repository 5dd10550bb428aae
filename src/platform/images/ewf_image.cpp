#include <libewf.h>
#include <sys/stat.h>

#include <cctype>
#include <vector>

#include "platform/images/formats.h"
#include "platform/images/library_error.h"

namespace vellum::platform {

namespace {

std::string TakeError(libewf_error_t*& error) {
  return TakeLibraryError(error, libewf_error_sprint, libewf_error_free);
}

class EwfDevice : public BlockDevice {
 public:
  EwfDevice(libewf_handle_t* handle, std::vector<std::string> segments, uint64_t size, uint32_t sectorSize)
      : handle_(handle), segments_(std::move(segments)), size_(size), sectorSize_(sectorSize) {}
  ~EwfDevice() override {
    libewf_handle_close(handle_, nullptr);
    libewf_handle_free(&handle_, nullptr);
  }
  EwfDevice(const EwfDevice&) = delete;
  EwfDevice& operator=(const EwfDevice&) = delete;

  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    const uint32_t before = ChecksumErrors();
    bool ok = ReadWithin(size_, offset, out, [this](uint64_t at, uint8_t* data, size_t length) {
      libewf_error_t* error = nullptr;
      const ssize_t n = libewf_handle_read_random(handle_, data, length, static_cast<off64_t>(at), &error);
      if (n < 0) lastError_ = TakeError(error);
      return n;
    });
    // A chunk whose checksum fails is handed out zeroed; the read did not
    // yield the image's bytes, and must not pass for one that did.
    if (ChecksumErrors() != before) {
      lastError_ = "a chunk of the evidence file fails its checksum";
      ok = false;
    }
    return ok;
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return size_; }
  uint32_t SectorSize() const override { return sectorSize_; }
  bool Writable() const override { return false; }
  std::string LastError() const override { return lastError_; }
  std::vector<std::string> BackingFiles() const override { return segments_; }

 private:
  uint32_t ChecksumErrors() {
    uint32_t n = 0;
    libewf_handle_get_number_of_checksum_errors(handle_, &n, nullptr);
    return n;
  }

  libewf_handle_t* handle_;
  std::vector<std::string> segments_;
  uint64_t size_;
  uint32_t sectorSize_;
  std::string lastError_;
};

// Every segment of the set, in order, as the library finds them beside `path`.
bool GlobSegments(const std::string& path, std::vector<std::string>& segments, std::string& why) {
  char** names = nullptr;
  int count = 0;
  libewf_error_t* error = nullptr;
  if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) != 1) {
    why = TakeError(error);
    return false;
  }
  for (int i = 0; i < count; ++i) segments.emplace_back(names[i]);
  libewf_glob_free(names, count, nullptr);
  return !segments.empty();
}

// The segment numbered `step` after `segment` (card.E01 + 2 = card.E03),
// for the numbered part of the naming (E01 to E99); empty past it.
std::string SegmentAfter(const std::string& segment, int step) {
  const size_t n = segment.size();
  if (n < 2 || !isdigit(static_cast<unsigned char>(segment[n - 1])) ||
      !isdigit(static_cast<unsigned char>(segment[n - 2])))
    return {};
  const int number = (segment[n - 2] - '0') * 10 + (segment[n - 1] - '0') + step;
  if (number > 99) return {};
  std::string next = segment;
  next[n - 2] = static_cast<char>('0' + number / 10);
  next[n - 1] = static_cast<char>('0' + number % 10);
  return next;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string Problem(const std::string& path, const std::string& format, const std::string& what) {
  return path + " を開けません: " + format + " の証拠ファイルで、" + what;
}

}  // namespace

ImageOpen OpenEwfImage(const std::string& path, const std::string& format) {
  std::vector<std::string> segments;
  std::string why;
  if (!GlobSegments(path, segments, why)) return ImageFailure(Problem(path, format, "セグメントの組が見つかりません (" + why + ")。"));
  std::vector<char*> names;
  for (std::string& s : segments) names.push_back(s.data());

  libewf_handle_t* handle = nullptr;
  libewf_error_t* error = nullptr;
  if (libewf_handle_initialize(&handle, &error) != 1) return ImageFailure(Problem(path, format, "読み取りを始められません: " + TakeError(error)));
  if (libewf_handle_open(handle, names.data(), static_cast<int>(names.size()), libewf_get_access_flags_read(),
                         &error) != 1) {
    why = TakeError(error);
    libewf_handle_free(&handle, nullptr);
    return ImageFailure(Problem(path, format, "読み取れません: " + why +
                                          "。セグメントの組が途中で切れているか、欠けているか、壊れているようです。"));
  }
  size64_t size = 0;
  uint32_t sectorSize = 512;
  libewf_handle_get_media_size(handle, &size, nullptr);
  libewf_handle_get_bytes_per_sector(handle, &sectorSize, nullptr);
  libewf_handle_set_read_zero_chunk_on_error(handle, 1, nullptr);
  // An acquisition that never finished, or a segment cut short on its way
  // here, leaves sections missing: the library still opens what is there.
  if (libewf_handle_segment_files_corrupted(handle, nullptr) == 1) {
    libewf_handle_close(handle, nullptr);
    libewf_handle_free(&handle, nullptr);
    // The library's search for segments stops at the first gap; a segment
    // beyond it says which one is missing.
    const std::string next = SegmentAfter(segments.back(), 1), after = SegmentAfter(segments.back(), 2);
    if (!after.empty() && Exists(after) && !Exists(next))
      return ImageFailure(Problem(path, format, "セグメント " + next + " がありません。"));
    return ImageFailure(Problem(path, format, "セグメントの組が途中で切れているか壊れています (セグメントファイル " +
                                                  std::to_string(segments.size()) + " 個、最後は " +
                                                  segments.back() + ")。"));
  }
  if (sectorSize < 512 || sectorSize > 32768) sectorSize = 512;
  ImageOpen r;
  r.device = std::make_unique<EwfDevice>(handle, std::move(segments), size, sectorSize);
  return r;
}

}  // namespace vellum::platform
