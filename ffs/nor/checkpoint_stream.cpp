// Checkpoint stream writer and reader with their sector links. The writer
// never lets content land on the two link bytes of a sector's last cluster;
// the reader never follows more clusters than the volume has.
#include "ffs/nor/checkpoint_stream.h"

#include <algorithm>

#include "ffs/nor/on_flash.h"

namespace nor {

StreamWriter::StreamWriter(const Geometry& g, ClusterIo& io, uint32_t first_cluster,
                           std::function<uint32_t(uint32_t)> next_cluster)
    : g_(g), io_(io), next_(std::move(next_cluster)), buf_(g.cluster_size, kErased),
      cluster_(first_cluster) {}

bool StreamWriter::Advance() {
  uint32_t next = next_(cluster_);
  if (next >= g_.cluster_count) return false;  // ran out of reserved clusters
  cluster_ = next;
  ++clusters_;
  full_ = false;
  std::fill(buf_.begin(), buf_.end(), kErased);
  return true;
}

bool StreamWriter::PutByte(uint8_t b) {
  const uint32_t cs = g_.cluster_size;
  if (full_ && !Advance()) return false;
  if (pos_ == cs - 2 && g_.IsLastOfSector(cluster_)) {
    uint32_t next = next_(cluster_);
    if (next >= g_.cluster_count) return false;
    uint32_t sector = g_.SectorOf(next);
    buf_[cs - 2] = uint8_t(sector >> 8);
    buf_[cs - 1] = uint8_t(sector);
    if (!io_.WriteCluster(cluster_, buf_.data())) return false;
    cluster_ = next;
    ++clusters_;
    pos_ = 0;
    std::fill(buf_.begin(), buf_.end(), kErased);
  }
  buf_[pos_++] = b;
  if (pos_ == cs) {
    if (!io_.WriteCluster(cluster_, buf_.data())) return false;
    pos_ = 0;
    full_ = true;
  }
  return true;
}

bool StreamWriter::Put(const uint8_t* bytes, size_t count) {
  size_t i = 0;
  while (i < count && !failed_) {
    // Bytes that land before the cluster's last byte (or its link bytes)
    // are only stored: they go in at once. The byte at that edge goes
    // through PutByte, which writes the cluster or the link.
    const uint32_t limit = g_.IsLastOfSector(cluster_) ? g_.cluster_size - 2 : g_.cluster_size;
    if (!full_ && pos_ + 1 < limit) {
      const size_t n = std::min<size_t>(count - i, limit - 1 - pos_);
      std::copy(bytes + i, bytes + i + n, buf_.begin() + long(pos_));
      pos_ += uint32_t(n);
      i += n;
      continue;
    }
    failed_ = !PutByte(bytes[i++]);
  }
  return !failed_;
}

bool StreamWriter::Finish() {
  if (failed_) return false;
  if (full_ && !Advance()) return failed_ = true, false;
  std::fill(buf_.begin() + pos_, buf_.end(), kErased);
  if (!io_.WriteCluster(cluster_, buf_.data())) return failed_ = true, false;
  return true;
}

StreamReader::StreamReader(const Geometry& g, ClusterIo& io, uint32_t first_cluster)
    : g_(g), io_(io), buf_(g.cluster_size), cluster_(first_cluster) {}

bool StreamReader::Load(uint32_t cluster) {
  if (cluster >= g_.cluster_count || ++loaded_ > g_.cluster_count) return false;
  cluster_ = cluster;
  pos_ = 0;
  return io_.ReadCluster(cluster, buf_.data());
}

bool StreamReader::Get(uint8_t* out, size_t count) {
  if (failed_) return false;
  const uint32_t cs = g_.cluster_size;
  if (!started_) {
    started_ = true;
    if (!Load(cluster_)) return failed_ = true, false;
  }
  // Most fields lie wholly before the cluster's end (or its link bytes).
  const uint32_t limit = g_.IsLastOfSector(cluster_) ? cs - 2 : cs;
  if (pos_ + count <= limit) {
    std::copy(buf_.begin() + long(pos_), buf_.begin() + long(pos_ + count), out);
    pos_ += uint32_t(count);
    return true;
  }
  for (size_t i = 0; i < count; ++i) {
    if (pos_ == cs - 2 && g_.IsLastOfSector(cluster_)) {
      uint32_t sector = (uint32_t(buf_[cs - 2]) << 8) | buf_[cs - 1];
      if (sector >= g_.sector_count || !Load(g_.FirstDataCluster(sector))) {
        return failed_ = true, false;
      }
    } else if (pos_ == cs) {
      if (!Load(cluster_ + 1)) return failed_ = true, false;
    }
    out[i] = buf_[pos_++];
  }
  return true;
}

uint32_t StreamClusters(const Geometry& g, uint32_t first_cluster, uint32_t length,
                        uint32_t* sectors) {
  const uint32_t cs = g.cluster_size;
  uint32_t in_sector = first_cluster % g.clusters_per_sector;
  uint32_t clusters = 1;
  uint32_t spanned = 1;
  uint64_t remaining = length;
  for (;;) {
    if (in_sector == g.clusters_per_sector - 1) {
      if (remaining <= cs - 2) break;
      remaining -= cs - 2;
      ++spanned;
      in_sector = g.header_clusters;
    } else {
      if (remaining < cs) break;
      if (remaining == cs) {  // the clean mark needs a cluster of its own
        ++clusters;
        break;
      }
      remaining -= cs;
      ++in_sector;
    }
    ++clusters;
  }
  if (sectors) *sectors = spanned;
  return clusters;
}

}  // namespace nor
