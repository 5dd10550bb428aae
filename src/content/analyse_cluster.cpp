#include "content/analyse_cluster.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "content/cluster_follow.h"
#include "content/compound_file.h"
#include "content/content_row.h"
#include "content/format_measures.h"
#include "content/jpeg.h"
#include "content/lost_file.h"
#include "content/marker_scan.h"
#include "content/pdf.h"
#include "content/png.h"
#include "content/record_walks.h"
#include "content/tiff.h"
#include "content/zip.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"

namespace vellum::content {

namespace {

// What a signature test did: nothing matched, or it matched and the call ends,
// or (ZIP and LZH, after adding their row) the later tests still run.
enum class Outcome { kNoMatch, kDone, kGoOn };

struct Cluster {
  ScanState& state;
  uint64_t number;
  ByteView b;  // the first cluster, clusterBytes long
};

bool Starts(ByteView b, uint64_t off, ByteView bytes) {
  if (!InBounds(b.size(), off, bytes.size())) return false;
  for (uint8_t v : bytes)
    if (b[off++] != v) return false;
  return true;
}

bool Starts(ByteView b, uint64_t off, std::initializer_list<uint8_t> bytes) {
  return Starts(b, off, ByteView(bytes.begin(), bytes.size()));
}

constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kMngSignature[] = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// The signatures alone, shared by the tests below and by the check that a
// listed cluster still holds what it was recognised as.
bool ZipSignature(ByteView b) { return Starts(b, 0, {'P', 'K', 3, 4}); }
bool LzhSignature(ByteView b) { return Le8(b, 2) == '-' && Le8(b, 3) == 'l' && Le8(b, 4) == 'h' && Le8(b, 6) == '-'; }
bool CompoundSignature(ByteView b) {
  return Starts(b, 0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}) ||
         Starts(b, 0, {0x0E, 0x11, 0xFC, 0x0D, 0xD0, 0xCF, 0x11, 0xE0});
}
bool BmpSignature(ByteView b) { return Starts(b, 0, {'B', 'M'}); }
bool RiffSignature(ByteView b) { return BytesEqual(b, 0, "RIFF"); }
bool JpegSignature(ByteView b) {
  return (Starts(b, 0, {0xFF, 0xD8, 0xFF, 0xE0}) || Starts(b, 0, {0xFF, 0xD8, 0xFF, 0xE1})) && Le8(b, 10) == 0;
}
bool Jpeg2000Signature(ByteView b, bool codestream) {
  return codestream ? Starts(b, 0, {0xFF, 0x4F, 0xFF, 0x51}) : BytesEqual(b, 4, "jP  ");
}
bool GifSignature(ByteView b) {
  return BytesEqual(b, 0, "GIF8") && (BytesEqual(b, 4, "7a") || BytesEqual(b, 4, "9a"));
}
bool AsfSignature(ByteView b) {
  return Starts(b, 0, {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE,
                       0x6C});
}
bool IsLeadingBoxType(ByteView b) {
  for (std::string_view type : {"ftyp", "moov", "pnot", "mdat", "skip", "free"})
    if (BytesEqual(b, 4, type)) return true;
  return false;
}
bool MpegSignature(ByteView b, uint8_t startCode) { return Starts(b, 0, {0x00, 0x00, 0x01, startCode}); }
bool PdfSignature(ByteView b) { return BytesEqual(b, 0, "%PDF-"); }
bool TiffSignature(ByteView b) { return TiffHeader(b); }

// Whether `cluster` lies inside a file already listed by its structure: its
// first cluster excepted, up to its last, and on the clusters it was
// followed over (free ones only when it was followed over free ones). The
// scan goes up the volume, so spans that end below it are let go.
bool InsideCarvedFile(ScanState& state, uint64_t cluster) {
  auto& spans = state.carvedSpans;
  if (spans.empty()) return false;
  std::erase_if(spans, [cluster](const ScanState::CarvedSpan& s) { return s.last < cluster; });
  for (const ScanState::CarvedSpan& s : spans)
    if (s.first < cluster && cluster <= s.last && (!s.followFree || IsClusterFree(state, cluster))) return true;
  return false;
}

// Remembers the clusters a file of `size` bytes from `first` takes.
void ClaimCarvedFile(ScanState& state, uint64_t first, uint64_t size) {
  if (size <= state.clusterBytes) return;
  ScanState::CarvedSpan span{first, first, IsClusterFree(state, first)};
  for (uint64_t more = (size - 1) / state.clusterBytes; more > 0; --more)
    if (!volume::NextCandidateCluster(state, span.last, span.followFree)) {
      span.last = state.lastCluster;
      break;
    }
  state.carvedSpans.push_back(span);
}

// A walk that found its structure damaged vouches for the bytes before the
// damage only: from there on the clusters may be another file's.
void ClaimCarvedFile(ScanState& state, uint64_t first, const Measured& m) {
  const bool damaged = m.check.verdict == ContentCheck::Verdict::kDamaged;
  ClaimCarvedFile(state, first, damaged ? std::min(m.size, m.check.damagedFrom) : m.size);
}

// The walks below read beyond the first cluster only when the structure
// leads there; Cancel is asked once before each, as a marker scan asks on
// its first pass, so that a Cancel pressed meanwhile is seen.
void AskAboutCancel(ScanState& state) { volume::CancelRequested(state); }

// The rows of a size analysis that may be cancelled are dropped once Cancel
// was pressed: their size would be a fragment.
Outcome AddUnlessCancelled(Cluster& c, const std::string& ext, uint64_t size) {
  if (c.state.cancelled == 0) AddContentRow(c.state, ext, c.number, size);
  return Outcome::kDone;
}

// A file that holds others (a video's frames, a raw file's previews, an
// archive's stored members) is measured and claims its clusters even when the
// name filter leaves it out: what it holds is no file of its own, and a scan
// for photos must not list a video's frames. Only its row is left out.
Outcome AddIfListed(Cluster& c, bool listed, const std::string& ext, uint64_t size) {
  return listed ? AddUnlessCancelled(c, ext, size) : Outcome::kDone;
}

Outcome Zip(Cluster& c) {
  if (!ZipSignature(c.b)) return Outcome::kNoMatch;
  std::string ext;
  if (!PickCandidateExtension(c.state, {"zip", "docx", "xlsx", "pptx"}, ext)) return Outcome::kDone;
  ext = ClassifyZip(c.state, c.number, c.b);
  if (!PassesNameFilter(c.state, ext)) return Outcome::kDone;
  AddContentRow(c.state, ext, c.number, MeasureZip(c.state, c.number, c.b));
  return Outcome::kGoOn;
}

Outcome Lzh(Cluster& c) {
  if (!LzhSignature(c.b)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, "lzh")) return Outcome::kDone;
  AddContentRow(c.state, "lzh", c.number, MeasureLzh(c.state, c.number, c.b));
  return Outcome::kGoOn;
}

Outcome Compound(Cluster& c) {
  if (!CompoundSignature(c.b)) return Outcome::kNoMatch;
  std::string admission;
  if (PickCandidateExtension(c.state, {"doc", "xls", "ppt", "jtd", "adp", "mdz", "msc", "pub", "msi", "obd",
                                       "alb", "suo", "opt", "ilg", "mix"},
                             admission))
    AnalyseCompoundFile(c.state, c.number, c.b);
  return Outcome::kDone;
}

Outcome Bmp(Cluster& c) {
  if (!BmpSignature(c.b)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, "bmp")) return Outcome::kDone;
  const uint64_t fileSize = Le32(c.b, 2);
  uint64_t volumeBytes = 0;
  const bool fitsVolume = !CheckedMul(c.state.lastCluster, c.state.clusterBytes, volumeBytes) ||
                          fileSize < volumeBytes;
  if (fileSize > Le32(c.b, 10) && fitsVolume) AddContentRow(c.state, "bmp", c.number, fileSize);
  return Outcome::kDone;
}

std::string RiffExtension(ByteView b) {
  if (BytesEqual(b, 8, "CDXA")) return "mpeg";
  if (BytesEqual(b, 8, "AVI ")) return "avi";
  if (BytesEqual(b, 8, "RMP3")) return "rmp";
  if (BytesEqual(b, 8, "CDR8")) return "cdr";
  if (BytesEqual(b, 8, "RMID")) return "rmi";
  if (BytesEqual(b, 8, "WAVE")) return "wav";
  if (BytesEqual(b, 8, "ACON")) return "ani";
  return "";
}

Outcome Riff(Cluster& c) {
  if (!RiffSignature(c.b)) return Outcome::kNoMatch;
  const std::string ext = RiffExtension(c.b);
  const bool listed = PassesNameFilter(c.state, ext);
  const uint64_t riffSize = Le32(c.b, 4);
  if (riffSize >= c.state.dataAreaBytes) return Outcome::kDone;
  // An AVI's frames are JPEGs, a WAV's data may hold anything.
  ClaimCarvedFile(c.state, c.number, riffSize + 8);
  if (listed) AddContentRow(c.state, ext, c.number, riffSize + 8);
  return Outcome::kDone;
}

Outcome Jpeg(Cluster& c) {
  if (!JpegSignature(c.b)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, "jpg")) return Outcome::kDone;
  // The segments are walked by their lengths, so the thumbnail inside an
  // Exif segment, with its own end-of-image marker, is passed over whole.
  AskAboutCancel(c.state);
  LostFile file(c.state, c.number, c.b);
  const JpegLength length = MeasureJpeg(file);
  if (length.whole) ClaimCarvedFile(c.state, c.number, length.size);
  return AddUnlessCancelled(c, "jpg", length.size);
}

bool PickJpeg2000Extension(const ScanState& state, std::string& ext) {
  return PickCandidateExtension(
      state, {"jp2", "j2c", "j2k", "jpc", "jpf", "jpm", "jpx", "j3d", "mj2", "mjp2", "pgx"}, ext);
}

Outcome Jpeg2000(Cluster& c, bool codestream) {
  if (!Jpeg2000Signature(c.b, codestream)) return Outcome::kNoMatch;
  std::string ext = codestream ? "j2k" : "jp2";
  if (!PickJpeg2000Extension(c.state, ext)) return Outcome::kDone;
  return AddUnlessCancelled(c, ext, MarkerScan(c.state, c.number, kJpegEnd));
}

Outcome Gif(Cluster& c) {
  if (!GifSignature(c.b)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, "gif")) return Outcome::kDone;
  return AddUnlessCancelled(c, "gif", MarkerScan(c.state, c.number, kGifTrailer));
}

Outcome Png(Cluster& c) {
  if (!Starts(c.b, 0, kPngSignature)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, "png")) return Outcome::kDone;
  AskAboutCancel(c.state);
  LostFile file(c.state, c.number, c.b);
  const Measured m = MeasurePng(file);
  ClaimCarvedFile(c.state, c.number, m);
  return AddUnlessCancelled(c, "png", m.size);
}

Outcome PngFamily(Cluster& c, ByteView signature, const char* ext, const MarkerPattern& end) {
  if (!Starts(c.b, 0, signature)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, ext)) return Outcome::kDone;
  const uint64_t past = MarkerScan(c.state, c.number, end);
  return AddUnlessCancelled(c, ext, past + 4);  // the end chunk's CRC
}

Outcome Asf(Cluster& c) {
  if (!AsfSignature(c.b)) return Outcome::kNoMatch;
  std::string ext = "wmv";
  const bool listed = PickCandidateExtension(c.state, {"wmv", "wma", "asf"}, ext);
  const uint64_t size = MeasureAsf(c.state, c.number, c.b);
  if (size != kDefaultSize) ClaimCarvedFile(c.state, c.number, size);
  return AddIfListed(c, listed, ext, size);
}

constexpr std::pair<std::string_view, std::string_view> kIsoBrands[] = {
    {"heic", "heic"}, {"heix", "heic"}, {"heim", "heic"}, {"heis", "heic"}, {"hevc", "heic"},
    {"hevx", "heic"}, {"mif1", "heif"}, {"msf1", "heif"}, {"avif", "avif"}, {"avis", "avif"},
    {"crx ", "cr3"},  {"3gp", "3gp"},   {"3g2", "3g2"},   {"qt  ", "mov"}};

// The extension by the brand after "ftyp" (or whatever stands there in a file
// that begins with another box); false when the filter rejects it.
bool IsoMediaExtension(const ScanState& state, ByteView b, std::string& ext) {
  if (BytesEqual(b, 8, "M4V ")) return PassesNameFilter(state, ext = "m4v");
  if (BytesEqual(b, 8, "M4A ") || BytesEqual(b, 8, "M4R ")) {
    ext = "m4a";
    return PickCandidateExtension(state, {"m4a", "m4r"}, ext);
  }
  if (BytesEqual(b, 8, "M4B ")) return PassesNameFilter(state, ext = "m4b");
  if (BytesEqual(b, 8, "M4P ")) return PassesNameFilter(state, ext = "m4p");
  // Brands of the formats built on the same boxes: phone photos, the
  // newer image formats, Canon's CR3 raw files, mobile video.
  for (const auto& [brand, brandExt] : kIsoBrands)
    if (BytesEqual(b, 8, brand)) return PassesNameFilter(state, ext = brandExt);
  if (BytesEqual(b, 8, "mp4") || BytesEqual(b, 8, "iso")) return PassesNameFilter(state, ext = "mp4");
  ext = "mov";
  return PickCandidateExtension(state, {"mov", "qt"}, ext);
}

Outcome IsoMedia(Cluster& c) {
  if (!IsLeadingBoxType(c.b)) return Outcome::kNoMatch;
  std::string ext;
  const bool listed = IsoMediaExtension(c.state, c.b, ext);
  const uint64_t size = MeasureIsoMedia(c.state, c.number, c.b);
  // A video's or CR3's embedded previews are its own.
  if (size != kDefaultSize) ClaimCarvedFile(c.state, c.number, size);
  return AddIfListed(c, listed, ext, size);
}

Outcome Mpeg(Cluster& c, uint8_t startCode, const MarkerPattern& end) {
  if (!MpegSignature(c.b, startCode)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, "mpg")) return Outcome::kDone;
  return AddUnlessCancelled(c, "mpg", MarkerScan(c.state, c.number, end));
}

Outcome Pdf(Cluster& c) {
  if (!PdfSignature(c.b)) return Outcome::kNoMatch;
  if (!PassesNameFilter(c.state, "pdf")) return Outcome::kDone;
  // Kept after a Cancel too: the part measured is still the file's start.
  AddContentRow(c.state, "pdf", c.number, MeasurePdf(c.state, c.number, c.b));
  return Outcome::kDone;
}

Outcome Tiff(Cluster& c) {
  if (!TiffSignature(c.b)) return Outcome::kNoMatch;
  // The raw formats of cameras are TIFF structures too; which one this is,
  // and how far it reaches, its IFDs tell.
  LostFile file(c.state, c.number, c.b);
  const TiffLength length = MeasureTiff(file);
  if (length.size != 0) ClaimCarvedFile(c.state, c.number, length.size);
  if (!PassesNameFilter(c.state, length.extension)) return Outcome::kDone;
  AddContentRow(c.state, length.extension, c.number, length.size != 0 ? length.size : kDefaultSize);
  return Outcome::kDone;
}

// The formats walked by their own structure: a row when the walk found the
// format's structure, dropped when Cancel stopped the walk.
using Measure = Measured (*)(ScanState&, uint64_t, ByteView);

Outcome AddMeasured(Cluster& c, const std::string& ext, Measure measure, bool listed) {
  const Measured m = measure(c.state, c.number, c.b);
  if (m.size == 0) return Outcome::kDone;
  ClaimCarvedFile(c.state, c.number, m);
  return AddIfListed(c, listed, ext, m.size);
}

Outcome TransportStream(Cluster& c, uint32_t packetBytes) {
  if (TransportPacketBytes(c.b) != packetBytes) return Outcome::kNoMatch;
  // Plain 188-byte packets are what .ts files hold; the time-coded 192-byte
  // ones are what AVCHD cameras write as .mts and Blu-ray as .m2ts.
  std::string ext = packetBytes == 192 ? "mts" : "ts";
  const bool listed = packetBytes == 192 ? PickCandidateExtension(c.state, {"mts", "m2ts"}, ext)
                                         : PickCandidateExtension(c.state, {"ts", "mts"}, ext);
  return AddMeasured(c, ext, MeasureTransportStream, listed);
}

// A format of one extension, its signature and its walk.
Outcome Walked(Cluster& c, bool (*signature)(ByteView), const char* ext, Measure measure) {
  if (!signature(c.b)) return Outcome::kNoMatch;
  return AddMeasured(c, ext, measure, PassesNameFilter(c.state, ext));
}

Outcome Ogg(Cluster& c) {
  if (!OggSignature(c.b)) return Outcome::kNoMatch;
  const std::string ext = OggExtension(c.b);
  return AddMeasured(c, ext, MeasureOgg, PassesNameFilter(c.state, ext));
}

Outcome Sqlite(Cluster& c) {
  if (!SqliteSignature(c.b)) return Outcome::kNoMatch;
  std::string ext = "sqlite";
  const bool listed = PickCandidateExtension(c.state, {"sqlite", "db"}, ext);
  return AddMeasured(c, ext, MeasureSqlite, listed);
}

// A test, and the byte its signature test compares first: where it stands
// and the values it may take there. Most clusters a scan reads hold file
// data or nothing, and the lead bytes turn them away in a few table lookups
// instead of a call to every test. A lead must hold for every cluster the
// test can match.
struct SignatureTest {
  Outcome (*run)(Cluster&);
  uint8_t at;
  std::string_view leads;
};

constexpr SignatureTest kTests[] = {
    {Zip, 0, "P"},
    {Lzh, 2, "-"},
    {Compound, 0, "\xD0\x0E"},
    {Bmp, 0, "B"},
    {Riff, 0, "R"},
    {Jpeg, 0, "\xFF"},
    {[](Cluster& x) { return Jpeg2000(x, true); }, 0, "\xFF"},
    {Gif, 0, "G"},
    {Png, 0, "\x89"},
    {[](Cluster& x) { return PngFamily(x, kMngSignature, "mng", kMngEnd); }, 0, "\x8A"},
    {Asf, 0, "\x30"},
    {[](Cluster& x) { return Jpeg2000(x, false); }, 4, "j"},
    {IsoMedia, 4, "fmps"},  // ftyp, free, moov, mdat, pnot, skip
    // The start code's last byte: its zeros would admit every empty cluster.
    {[](Cluster& x) { return Mpeg(x, 0xBA, kMpegProgramEnd); }, 3, "\xBA"},
    {[](Cluster& x) { return Mpeg(x, 0xB3, kMpegVideoEnd); }, 3, "\xB3"},
    {Pdf, 0, "%"},
    {Tiff, 0, "IM"},
    {[](Cluster& x) { return TransportStream(x, 188); }, 0, "\x47"},
    {[](Cluster& x) { return TransportStream(x, 192); }, 4, "\x47"},
    {[](Cluster& x) { return Walked(x, Mp3Signature, "mp3", MeasureMp3); }, 0, "I\xFF"},
    {[](Cluster& x) { return Walked(x, FlacSignature, "flac", MeasureFlac); }, 0, "f"},
    {Ogg, 0, "O"},
    {[](Cluster& x) { return Walked(x, SevenZipSignature, "7z", MeasureSevenZip); }, 0, "7"},
    {[](Cluster& x) { return Walked(x, RarSignature, "rar", MeasureRar); }, 0, "R"},
    {[](Cluster& x) { return Walked(x, GzipSignature, "gz", MeasureGzip); }, 0, "\x1F"},
    {Sqlite, 0, "S"},
};
constexpr size_t kTestCount = std::size(kTests);
constexpr size_t kLeadSpan = 5;  // the lead bytes stand in the first five
static_assert(kTestCount <= 32);

// For each of the first bytes and each value, the tests (one bit each, in
// list order) whose lead it is.
using LeadMasks = std::array<std::array<uint32_t, 256>, kLeadSpan>;
constexpr LeadMasks MakeLeadMasks() {
  LeadMasks masks{};
  for (size_t t = 0; t < kTestCount; ++t)
    for (char lead : kTests[t].leads) masks[kTests[t].at][static_cast<uint8_t>(lead)] |= uint32_t{1} << t;
  return masks;
}
constexpr LeadMasks kLeadMasks = MakeLeadMasks();

Outcome RunTests(Cluster& c) {
  uint32_t admitted = 0;
  for (size_t at = 0; at < kLeadSpan; ++at) admitted |= kLeadMasks[at][Le8(c.b, at)];
  // What begins inside a file already listed by its structure is part of
  // it: a photo's thumbnail, a raw file's preview, a video's frames, a
  // table repeated in a transport stream.
  if (admitted == 0 || InsideCarvedFile(c.state, c.number)) return Outcome::kNoMatch;
  for (size_t t = 0; admitted != 0; ++t, admitted >>= 1) {
    if ((admitted & 1) == 0) continue;
    const Outcome outcome = kTests[t].run(c);
    if (outcome == Outcome::kDone) return outcome;
  }
  return Outcome::kNoMatch;
}

// Every extension a test can give a row, with the signature that test
// recognises. A RIFF of no known form is listed without an extension.
struct SignatureOf {
  bool (*matches)(ByteView);
  std::string_view extensions;  // separated by spaces; "-" stands for none
};

constexpr SignatureOf kSignatures[] = {
    {ZipSignature, "zip docx xlsx pptx"},
    {LzhSignature, "lzh"},
    {CompoundSignature, "doc xls ppt jtd adp mdz msc pub msi obd alb suo opt ilg mix ole"},
    {BmpSignature, "bmp"},
    {RiffSignature, "mpeg avi rmp cdr rmi wav ani -"},
    {JpegSignature, "jpg"},
    {[](ByteView b) { return Jpeg2000Signature(b, true) || Jpeg2000Signature(b, false); },
     "jp2 j2c j2k jpc jpf jpm jpx j3d mj2 mjp2 pgx"},
    {GifSignature, "gif"},
    {[](ByteView b) { return Starts(b, 0, kPngSignature); }, "png"},
    {[](ByteView b) { return Starts(b, 0, kMngSignature); }, "mng"},
    {AsfSignature, "wmv wma asf"},
    {IsLeadingBoxType, "m4v m4a m4r m4b m4p mp4 mov qt heic heif avif cr3 3gp 3g2"},
    {[](ByteView b) { return MpegSignature(b, 0xBA) || MpegSignature(b, 0xB3); }, "mpg"},
    {PdfSignature, "pdf"},
    {TiffSignature, "tif cr2 nef arw dng orf rw2 pef erf 3fr"},
    {[](ByteView b) { return TransportPacketBytes(b) != 0; }, "ts mts m2ts"},
    {Mp3Signature, "mp3"},
    {FlacSignature, "flac"},
    {OggSignature, "ogg opus oga"},
    {SevenZipSignature, "7z"},
    {RarSignature, "rar"},
    {GzipSignature, "gz"},
    {SqliteSignature, "sqlite db"},
};

bool ListsExtension(std::string_view list, std::string_view ext) {
  if (ext.empty()) ext = "-";
  for (size_t start = 0; start < list.size();) {
    const size_t end = std::min(list.find(' ', start), list.size());
    if (list.substr(start, end - start) == ext) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool StartsWithSignatureOf(ScanState& state, const FoundContent& found) {
  if (!UsableGeometry(state) || found.firstCluster < 2 || found.firstCluster > state.lastCluster) return false;
  std::vector<uint8_t> cluster(state.clusterBytes);
  if (!volume::ReadCluster(state, found.firstCluster, cluster)) return false;
  for (const SignatureOf& s : kSignatures)
    if (ListsExtension(s.extensions, found.Extension()) && s.matches(cluster)) return true;
  return false;
}

void AnalyseClusterContents(ScanState& state, uint64_t cluster, ByteView data) {
  if (!UsableGeometry(state) || data.size() < state.clusterBytes) return;
  Cluster c{state, cluster, data.first(state.clusterBytes)};
  RunTests(c);
}

}  // namespace vellum::content
