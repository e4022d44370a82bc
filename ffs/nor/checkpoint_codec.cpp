// Checkpoint fixed part and node slots, both directions. The reader checks
// the format mark and the slot kinds; it trusts no count beyond the stream.
#include "ffs/nor/checkpoint_codec.h"

namespace nor {

namespace {

uint32_t FormatMark(unsigned version) {
  return kFormatMarkHigh | ((0x30u + version / 10) << 8) | (0x30u + version % 10);
}

bool ParseFormatMark(uint32_t mark, unsigned& version) {
  if ((mark & 0xFFFF0000u) != kFormatMarkHigh) return false;
  uint32_t tens = (mark >> 8) & 0xFF, units = mark & 0xFF;
  if (tens < '0' || tens > '9' || units < '0' || units > '9') return false;
  version = (tens - '0') * 10 + (units - '0');
  return version >= kVersionMin && version <= kVersionMax;
}

bool PutName(ByteSink& sink, const std::string& name) {
  return sink.Put(reinterpret_cast<const uint8_t*>(name.data()), name.size()) && PutU8(sink, 0);
}

// Reads a NUL-terminated name, keeping 64 characters at most.
bool GetName(ByteSource& source, std::string& name) {
  name.clear();
  bool cut = false;
  for (;;) {
    uint8_t c;
    if (!GetU8(source, c)) return false;
    if (c == 0) break;
    if (name.size() < kNameMax) {
      name.push_back(char(c));
    } else {
      cut = true;
    }
  }
  if (cut) {
    name.resize(kNameMax - 1);
    name.push_back(kCutMark);
  }
  return true;
}

bool BigClusters(const Geometry& g) { return g.cluster_size >= kBigClusterSize; }

}  // namespace

uint32_t PreludeBytes(const Geometry& g) {
  const uint32_t s = g.sector_count;
  return kHeaderFields * 4 + (s + 1) / 2 + 4 + 4 * s + 4;
}

std::vector<uint8_t> EncodeEraseCounts(uint32_t max_erase, const std::vector<uint32_t>& counts) {
  std::vector<uint8_t> bytes((counts.size() + 1) / 2, 0);
  for (size_t i = 0; i < counts.size(); ++i) {
    uint32_t lag = counts[i] >= max_erase ? 0 : max_erase - counts[i];
    uint8_t nibble = uint8_t(lag > kEraseNibbleMax ? kEraseNibbleMax : lag);
    bytes[i / 2] |= (i % 2 == 0) ? uint8_t(nibble << 4) : nibble;
  }
  return bytes;
}

std::vector<uint32_t> DecodeEraseCounts(uint32_t max_erase, const std::vector<uint8_t>& bytes,
                                        uint32_t sector_count) {
  std::vector<uint32_t> counts(sector_count, 0);
  for (uint32_t i = 0; i < sector_count && i / 2 < bytes.size(); ++i) {
    uint32_t nibble = (i % 2 == 0) ? bytes[i / 2] >> 4 : bytes[i / 2] & 0x0F;
    counts[i] = nibble > max_erase ? 0 : max_erase - nibble;
  }
  return counts;
}

bool WritePrelude(ByteSink& sink, const Geometry& g, const CheckpointPrelude& p) {
  const CheckpointHeader& h = p.header;
  const uint32_t fields[kHeaderFields] = {h.length,    h.sequence,  h.slot_count,
                                          h.chain_words, h.next_serial, h.free_head,
                                          h.free_tail, h.free_count, h.max_erase};
  for (uint32_t f : fields) {
    if (!PutU32(sink, f)) return false;
  }
  std::vector<uint32_t> counts = p.erase_counts;
  counts.resize(g.sector_count, h.max_erase);
  std::vector<uint8_t> nibbles = EncodeEraseCounts(h.max_erase, counts);
  if (!sink.Put(nibbles.data(), nibbles.size())) return false;
  if (!PutU32(sink, FormatMark(kVersionWritten))) return false;
  for (uint32_t i = 0; i < g.sector_count; ++i) {
    if (!PutU32(sink, i < p.read_counts.size() ? p.read_counts[i] : 0)) return false;
  }
  return PutU32(sink, p.cursor);
}

DecodeStatus ReadPrelude(ByteSource& source, const Geometry& g, CheckpointPrelude& p) {
  CheckpointHeader& h = p.header;
  uint32_t* fields[kHeaderFields] = {&h.length,    &h.sequence,  &h.slot_count,
                                     &h.chain_words, &h.next_serial, &h.free_head,
                                     &h.free_tail, &h.free_count, &h.max_erase};
  for (uint32_t* f : fields) {
    if (!GetU32(source, *f)) return DecodeStatus::Malformed;
  }
  std::vector<uint8_t> nibbles((g.sector_count + 1) / 2);
  if (!source.Get(nibbles.data(), nibbles.size())) return DecodeStatus::Malformed;
  p.erase_counts = DecodeEraseCounts(h.max_erase, nibbles, g.sector_count);
  uint32_t mark;
  if (!GetU32(source, mark)) return DecodeStatus::Malformed;
  if (!ParseFormatMark(mark, p.version)) return DecodeStatus::BadFormatMark;
  p.read_counts.assign(g.sector_count, 0);
  if (p.version >= kVersionReadCounts) {
    for (uint32_t& r : p.read_counts) {
      if (!GetU32(source, r)) return DecodeStatus::Malformed;
    }
  }
  return GetU32(source, p.cursor) ? DecodeStatus::Ok : DecodeStatus::Malformed;
}

uint32_t SlotBytes(const Geometry& g, SlotKind kind, size_t name_length) {
  switch (kind) {
    case SlotKind::Directory: return kDirectoryFixedBytes + uint32_t(name_length) + 1;
    case SlotKind::File: return kFileFixedBytes + uint32_t(name_length) + 1;
    case SlotKind::Inode: return BigClusters(g) ? kInodeBytesBig : kInodeBytes;
    default: return 0;
  }
}

uint32_t SlotBytes(const Geometry& g, const SlotRecord& s) {
  return SlotBytes(g, s.kind, s.name.size());
}

namespace {

bool WriteInode(ByteSink& k, const Geometry& g, const SlotRecord& s) {
  bool ok = PutU16(k, s.tail_cluster) && PutU16(k, uint16_t(s.tail_fill));
  if (ok && BigClusters(g)) ok = PutU8(k, uint8_t(s.tail_fill >> 16));
  return ok && PutU32(k, s.time1) && PutU32(k, s.time2) && PutU32(k, s.serial) &&
         PutU32(k, s.size) && PutU16(k, s.first_cluster) && PutU16(k, s.last_cluster) &&
         PutU16(k, s.uid) && PutU16(k, s.gid) && PutU16(k, s.mode) && PutU8(k, s.links) &&
         PutU32(k, s.attributes) && PutU8(k, s.filler);
}

bool ReadInode(ByteSource& k, const Geometry& g, unsigned version, SlotRecord& s) {
  uint16_t fill_low = 0;
  bool ok = GetU16(k, s.tail_cluster) && GetU16(k, fill_low);
  s.tail_fill = fill_low;
  if (ok && BigClusters(g)) {
    uint8_t high = 0;
    ok = GetU8(k, high);
    s.tail_fill |= uint32_t(high) << 16;
  }
  ok = ok && GetU32(k, s.time1) && GetU32(k, s.time2) && GetU32(k, s.serial) &&
       GetU32(k, s.size) && GetU16(k, s.first_cluster) && GetU16(k, s.last_cluster) &&
       GetU16(k, s.uid) && GetU16(k, s.gid) && GetU16(k, s.mode) && GetU8(k, s.links);
  s.attributes = 0;
  if (ok && version >= kVersionExtraWords) ok = GetU32(k, s.attributes);
  return ok && GetU8(k, s.filler);
}

}  // namespace

bool WriteSlot(ByteSink& k, const Geometry& g, const SlotRecord& s) {
  if (!PutU8(k, uint8_t(s.kind))) return false;
  switch (s.kind) {
    case SlotKind::Directory:
      return PutU32(k, s.next) && PutU32(k, s.prev) && PutU32(k, s.inode) &&
             PutU32(k, s.parent) && PutU32(k, s.child) && PutName(k, s.name);
    case SlotKind::File:
      return PutU32(k, s.next) && PutU32(k, s.prev) && PutU32(k, s.inode) &&
             PutU32(k, s.parent) && PutName(k, s.name);
    case SlotKind::Inode:
      return WriteInode(k, g, s);
    default:
      return true;
  }
}

DecodeStatus ReadSlot(ByteSource& k, const Geometry& g, unsigned version, SlotRecord& s) {
  uint8_t kind;
  if (!GetU8(k, kind)) return DecodeStatus::Malformed;
  s = SlotRecord();
  if (kind > uint8_t(SlotKind::File)) return DecodeStatus::Malformed;
  s.kind = SlotKind(kind);
  bool ok = true;
  switch (s.kind) {
    case SlotKind::Directory:
      ok = GetU32(k, s.next) && GetU32(k, s.prev) && GetU32(k, s.inode) && GetU32(k, s.parent) &&
           GetU32(k, s.child) && GetName(k, s.name);
      break;
    case SlotKind::File:
      ok = GetU32(k, s.next) && GetU32(k, s.prev) && GetU32(k, s.inode);
      if (ok && version >= kVersionExtraWords) ok = GetU32(k, s.parent);
      ok = ok && GetName(k, s.name);
      break;
    case SlotKind::Inode:
      ok = ReadInode(k, g, version, s);
      break;
    default:
      break;
  }
  return ok ? DecodeStatus::Ok : DecodeStatus::Malformed;
}

}  // namespace nor
