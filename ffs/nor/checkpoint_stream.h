// The checkpoint stream over whole clusters: consecutive clusters of a sector,
// and at the last two bytes of a sector's last cluster the big-endian number
// of the sector where the stream resumes (at its first cluster after the
// header). The last byte of the final cluster is the clean mark.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "ffs/nor/byte_stream.h"
#include "ffs/nor/geometry.h"

namespace nor {

// Whole-cluster access to the flash (or to a test image).
class ClusterIo {
 public:
  virtual ~ClusterIo() = default;
  virtual bool ReadCluster(uint32_t cluster, uint8_t* dst) = 0;
  virtual bool WriteCluster(uint32_t cluster, const uint8_t* src) = 0;
};

class StreamWriter : public ByteSink {
 public:
  // next_cluster gives the cluster after a cluster in the checkpoint's chain.
  StreamWriter(const Geometry& g, ClusterIo& io, uint32_t first_cluster,
               std::function<uint32_t(uint32_t)> next_cluster);
  bool Put(const uint8_t* bytes, size_t count) override;
  // Pads the final cluster with 0xFF and writes it. When the content ended
  // exactly at a cluster's end, that last byte is content, so one more
  // all-0xFF cluster is written to carry the clean mark.
  bool Finish();
  uint32_t clusters_used() const { return clusters_; }
  uint32_t last_cluster() const { return cluster_; }

 private:
  bool Advance();
  bool PutByte(uint8_t b);

  const Geometry& g_;
  ClusterIo& io_;
  std::function<uint32_t(uint32_t)> next_;
  std::vector<uint8_t> buf_;
  uint32_t cluster_;
  uint32_t pos_ = 0;
  uint32_t clusters_ = 1;
  bool full_ = false;  // the buffer was written and the next byte needs a new cluster
  bool failed_ = false;
};

class StreamReader : public ByteSource {
 public:
  StreamReader(const Geometry& g, ClusterIo& io, uint32_t first_cluster);
  // Fails on a device error, a link not below the sector count, or a stream
  // longer than the volume (a looping link).
  bool Get(uint8_t* bytes, size_t count) override;

 private:
  bool Load(uint32_t cluster);

  const Geometry& g_;
  ClusterIo& io_;
  std::vector<uint8_t> buf_;
  uint32_t cluster_;
  uint32_t pos_ = 0;
  uint32_t loaded_ = 0;
  bool started_ = false;
  bool failed_ = false;
};

// Clusters a stream of `length` content bytes occupies when it starts at
// first_cluster and resumes at the first data cluster of the following
// sectors; `sectors` receives the number of sectors it spans.
uint32_t StreamClusters(const Geometry& g, uint32_t first_cluster, uint32_t length,
                        uint32_t* sectors = nullptr);

}  // namespace nor
