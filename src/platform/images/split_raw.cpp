#include "platform/images/split_raw.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <vector>

#include "platform/images/split_pieces.h"

namespace vellum::platform {

namespace {

namespace fs = std::filesystem;

// A set of hundreds of pieces must not take as many descriptors; reads go
// mostly forward, so a few open pieces serve them.
constexpr size_t kOpenPieces = 8;
// .001 to .999: no set has more pieces than its numbering allows.
constexpr size_t kMaxPieces = 1000;

bool RegularFileSize(const std::string& path, uint64_t& size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

class SplitRawDevice : public BlockDevice {
 public:
  SplitRawDevice(std::vector<std::string> paths, PieceMap map)
      : paths_(std::move(paths)), map_(std::move(map)), fds_(paths_.size(), -1) {}
  ~SplitRawDevice() override {
    for (int fd : fds_)
      if (fd >= 0) ::close(fd);
  }
  SplitRawDevice(const SplitRawDevice&) = delete;
  SplitRawDevice& operator=(const SplitRawDevice&) = delete;

  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    std::fill(out.begin(), out.end(), uint8_t{0});
    uint64_t done = 0;
    bool ok = true;
    for (const PieceMap::Span& s : map_.Locate(offset, out.size())) {
      ok = ReadPiece(s, out.subspan(static_cast<size_t>(done), static_cast<size_t>(s.length))) && ok;
      done += s.length;
    }
    return ok && done == out.size();
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return map_.Size(); }
  uint32_t SectorSize() const override { return 512; }
  bool Writable() const override { return false; }
  std::string LastError() const override { return lastError_; }
  std::vector<std::string> BackingFiles() const override { return paths_; }

 private:
  int Descriptor(size_t piece) {
    if (fds_[piece] >= 0) return fds_[piece];
    if (open_.size() >= kOpenPieces) {
      ::close(fds_[open_.front()]);
      fds_[open_.front()] = -1;
      open_.pop_front();
    }
    fds_[piece] = ::open(paths_[piece].c_str(), O_RDONLY | O_CLOEXEC);
    if (fds_[piece] < 0) lastError_ = paths_[piece] + ": " + std::strerror(errno);
    else open_.push_back(piece);
    return fds_[piece];
  }

  bool ReadPiece(const PieceMap::Span& s, std::span<uint8_t> out) {
    const int fd = Descriptor(s.piece);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::pread(fd, out.data() + done, out.size() - done,
                                static_cast<off_t>(s.offsetInPiece + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // A piece that shrank since it was opened reads short, and says so.
        lastError_ = paths_[s.piece] + ": " + (n < 0 ? std::strerror(errno) : "shorter than when it was opened");
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return true;
  }

  std::vector<std::string> paths_;
  PieceMap map_;
  std::vector<int> fds_;
  std::deque<size_t> open_;
  std::string lastError_;
};

std::string Piece(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : (fs::path(dir) / name).string();
}

// Every piece but the last is as long as the first: split and the imagers
// cut equal pieces, so a shorter one was cut off on its way here.
std::string CheckPieceSizes(const std::vector<std::string>& paths, const std::vector<uint64_t>& sizes) {
  for (size_t i = 1; i + 1 < sizes.size(); ++i)
    if (sizes[i] != sizes[0])
      return "cannot open " + paths[0] + ": a split raw image whose piece " + paths[i] + " is " +
             std::to_string(sizes[i]) + " bytes where the first is " + std::to_string(sizes[0]) +
             "; the set is truncated or mixed";
  if (sizes.back() > sizes[0])
    return "cannot open " + paths[0] + ": a split raw image whose last piece " + paths.back() +
           " is longer than the first; the set is mixed";
  return {};
}

}  // namespace

ImageOpen OpenSplitRaw(const std::string& path) {
  const fs::path p(path);
  const std::string dir = p.parent_path().string();
  const std::string name = p.filename().string();
  if (!IsFirstPieceName(name)) return {};
  std::vector<std::string> paths{path};
  std::vector<uint64_t> sizes(1);
  if (!RegularFileSize(path, sizes[0])) return {};
  for (auto next = NextPieceName(name); next; next = NextPieceName(*next)) {
    uint64_t size = 0;
    if (!RegularFileSize(Piece(dir, *next), size)) {
      // A gap: the piece after the missing one is there.
      if (auto after = NextPieceName(*next); after && fs::exists(Piece(dir, *after)))
        return ImageFailure("cannot open " + path + ": a split raw image whose piece " + Piece(dir, *next) +
                            " is missing");
      break;
    }
    if (paths.size() == kMaxPieces) break;
    paths.push_back(Piece(dir, *next));
    sizes.push_back(size);
  }
  if (paths.size() < 2) return {};
  if (std::string why = CheckPieceSizes(paths, sizes); !why.empty()) return ImageFailure(why);
  PieceMap map;
  if (!map.Assign(sizes)) return ImageFailure("cannot open " + path + ": its pieces add up to more than a disk can hold");
  ImageOpen r;
  r.device = std::make_unique<SplitRawDevice>(std::move(paths), std::move(map));
  return r;
}

}  // namespace vellum::platform
