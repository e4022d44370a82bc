// Every constant of the sector manager's on-flash format, named once.
// Multi-byte checkpoint values are little-endian; only the sector links of
// the checkpoint stream are big-endian.
#pragma once

#include <cstdint>

namespace nor {

// Cluster numbers and the markers above the largest usable one.
constexpr uint16_t kChainEnd = 0xFFFC;   // ends a chain / list; state: first of a chain
constexpr uint16_t kRunMark = 0xFFFE;    // introduces a run token in the chain section
constexpr uint16_t kStateFree = 0xFFFF;
constexpr uint16_t kStateDirty = 0xFFFE;
constexpr uint16_t kStateUnusable = 0xFFFD;
constexpr uint16_t kStateChainStart = 0xFFFC;
constexpr uint16_t kNoCluster = 0xFFFF;  // "none" in inode records
constexpr uint32_t kMaxClusters = 65531;
constexpr uint32_t kNone32 = 0xFFFFFFFF;

// Sector signature: the last four bytes of the sector header.
constexpr uint8_t kSignature[4] = {'Q', 'M', '1', '3'};
constexpr uint32_t kSignatureSize = 4;
constexpr uint8_t kSignatureZeroed = 0x00;
constexpr unsigned kVersionMin = 9;
constexpr unsigned kVersionMax = 13;
constexpr unsigned kVersionWritten = 13;
constexpr unsigned kVersionReadCounts = 13;   // read counts present from here on
constexpr unsigned kVersionExtraWords = 11;   // inode attribute word, file entry parent
constexpr unsigned kVersionCleanMark = 10;    // clean mark honoured from here on
// Format mark: "QM" in the two high bytes, the version's digits below.
constexpr uint32_t kFormatMarkHigh = 0x514D0000;

constexpr uint8_t kErased = 0xFF;
constexpr uint8_t kCleanMarkSet = 0x00;

// Checkpoint header: nine u32 fields before the erase counts.
constexpr uint32_t kHeaderFields = 9;
constexpr uint32_t kSequenceOffset = 4;  // offset of the sequence number in the stream
constexpr uint32_t kEraseNibbleMax = 15;

// Node table.
constexpr uint32_t kSlotsPerPage = 20;
constexpr uint32_t kRefNone = 0xFFFFFFFF;
constexpr uint32_t kRefUnlinked = 0xFFFEFFFE;  // open file entry removed from its directory
constexpr uint32_t kNameMax = 64;              // characters kept of a stored name
constexpr uint32_t kRenameKeep = 59;           // characters kept before "_" and four digits
constexpr char kCutMark = '*';
constexpr char kRenameMark = '_';
constexpr uint32_t kBigClusterSize = 65536;    // from here the tail fill has a high byte

enum class SlotKind : uint8_t {
  Free = 0,
  Directory = 1,
  Inode = 2,
  File = 3,
  Reserved = 0xFF,  // RAM only: taken, not yet filled by the caller
};

// Bytes per slot beyond its kind byte (names add their length + 1).
constexpr uint32_t kDirectoryFixedBytes = 20;
constexpr uint32_t kFileFixedBytes = 16;
constexpr uint32_t kInodeBytes = 36;
constexpr uint32_t kInodeBytesBig = 37;

// The root directory's inode record holds no data; its tail fill is the
// "volume full" bit of the last commit: 1 when no cluster was free for file
// data, else 0.
constexpr uint32_t kRootVolumeFull = 1;

}  // namespace nor
