// Formats measured by walking their own structure through the lost file:
// transport streams by their packets, MP3 by its frames, FLAC by its
// metadata blocks and CRC-checked frames, Ogg by its CRC-checked pages,
// 7z by its start header, RAR by its blocks, GZIP by running its deflate
// stream through zlib, SQLite by its page size and page count. Each takes
// the first cluster's number and bytes (clusterBytes long) and returns the
// length found with what the walk's checks said; size 0 when the structure
// is not that format's after all (no row). All reading goes forward through
// the file's clusters, bounded in records and bytes.
#pragma once

#include <cstdint>
#include <string>

#include "content/content_check.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// MPEG transport stream: 188-byte packets, or the 192-byte packets of
// AVCHD and Blu-ray (a 4-byte time code before each), with the sync byte
// 0x47 at every packet of the first cluster. 0 when neither.
uint32_t TransportPacketBytes(ByteView first);
Measured MeasureTransportStream(volume::ScanState& state, uint64_t cluster, ByteView data);

// An ID3v2 tag, or an MPEG audio Layer III frame header followed in the
// first cluster by another one where it fits.
bool Mp3Signature(ByteView first);
Measured MeasureMp3(volume::ScanState& state, uint64_t cluster, ByteView data);

// "fLaC" and a STREAMINFO block of 34 bytes.
bool FlacSignature(ByteView first);
Measured MeasureFlac(volume::ScanState& state, uint64_t cluster, ByteView data);

// A first Ogg page that begins a stream, with a right CRC.
bool OggSignature(ByteView first);
// "opus", "oga" (FLAC in Ogg) or "ogg", by the first packet.
std::string OggExtension(ByteView first);
Measured MeasureOgg(volume::ScanState& state, uint64_t cluster, ByteView data);

// The 7z signature and a start header with a right CRC.
bool SevenZipSignature(ByteView first);
Measured MeasureSevenZip(volume::ScanState& state, uint64_t cluster, ByteView data);

// The RAR 4 or RAR 5 marker.
bool RarSignature(ByteView first);
Measured MeasureRar(volume::ScanState& state, uint64_t cluster, ByteView data);

// A gzip member header with the deflate method and no reserved flag.
bool GzipSignature(ByteView first);
Measured MeasureGzip(volume::ScanState& state, uint64_t cluster, ByteView data);

// "SQLite format 3", a valid page size and the fixed payload fractions.
bool SqliteSignature(ByteView first);
Measured MeasureSqlite(volume::ScanState& state, uint64_t cluster, ByteView data);

}  // namespace vellum::content
