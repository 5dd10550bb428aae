// File records of the master file table: located through the table's own
// data runs, or taken from a cluster found by the free-cluster scan.
#pragma once

#include <cstdint>
#include <optional>

#include "ntfs/attribute.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// Reads file record `number` through the master file table's $DATA runs
// (from mftRecord0) into the first mftRecordSize bytes of buffer. True when the
// record carries the "FILE" signature; fixups are then applied. False otherwise,
// with the raw bytes in the buffer (zeros where the table maps no cluster).
bool ReadMftRecord(volume::ScanState& state, uint32_t number, MutableBytes buffer);

// Reads the record in slot `slot` of the records stored from `cluster` and
// applies fixups, without checking the signature. False when the buffer is
// too small, the slot lies outside the clusters read, or the read failed.
bool ReadRecordAt(volume::ScanState& state, uint64_t cluster, uint32_t slot, MutableBytes buffer);

// Whether a structure of the record was cut short, so that the readers end
// it early: its update sequence array or a sector it names lies outside the
// record, the attribute walk ends at an attribute reaching past the record,
// an attribute's header, name, value or run list lies outside it, a run list
// runs out before its end marker, a file name runs past its value, or an
// entry of a resident attribute list past the list. A search counts each
// record it lists from once (truncatedStructures), whatever reads it again.
bool RecordCutShort(ByteView record);

// What a search asks of every record it lists, from one walk over the
// record's own attributes: RecordCutShort, and the standard information,
// long name and unnamed data (its first extent) where FindInRecord finds
// them. One missing here may still lie behind the record's attribute list.
struct RecordSummary {
  bool cutShort = false;
  std::optional<AttributeRef> standardInformation;
  std::optional<AttributeRef> fileName;
  std::optional<AttributeRef> data;
};
RecordSummary SummariseRecord(ByteView record);

}  // namespace vellum::ntfs
