// The name pool: record costs, large records, moves seen by owners, best-fit
// chunk choice and compaction.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ffs/nor/name_pool.h"

using nor::NamePool;

namespace {

char* Put(NamePool& pool, char** owner, const std::string& text) {
  return pool.StoreString(owner, text.data(), uint32_t(text.size()));
}

}  // namespace

TEST(NamePool, RecordCosts) {
  EXPECT_EQ(NamePool::PayloadLength(1), 8u);
  EXPECT_EQ(NamePool::PayloadLength(8), 8u);
  EXPECT_EQ(NamePool::PayloadLength(9), 12u);
  EXPECT_EQ(NamePool::PayloadLength(1004), 1004u);
  NamePool pool;
  char* a = nullptr;
  char* b = nullptr;
  ASSERT_NE(pool.Store(&a, 1), nullptr);
  EXPECT_EQ(pool.chunk_count(), 1u);
  EXPECT_EQ(pool.chunk_free(0), 1012u - 16);  // a 1-byte string costs 16 bytes
  ASSERT_NE(pool.Store(&b, 9), nullptr);
  EXPECT_EQ(pool.chunk_free(0), 1012u - 16 - 20);  // a 9-byte string costs 20
  EXPECT_EQ(b - a, 16);
  EXPECT_EQ(pool.bytes_in_use(), 8u + 12u);
  EXPECT_EQ(pool.StoredLength(&b), 9u);
  // The largest payload still fits a chunk of its own.
  char* c = nullptr;
  ASSERT_NE(pool.Store(&c, 1004), nullptr);
  EXPECT_EQ(pool.chunk_count(), 2u);
  EXPECT_EQ(pool.chunk_free(1), 0u);
}

TEST(NamePool, LargeRecordBypassesTheChunks) {
  NamePool pool;
  char* big = nullptr;
  const std::string text(1004, 'L');  // 1005 bytes with the NUL
  ASSERT_NE(Put(pool, &big, text), nullptr);
  EXPECT_EQ(pool.chunk_count(), 0u);
  EXPECT_EQ(pool.large_count(), 1u);
  EXPECT_EQ(std::string(big), text);
  EXPECT_EQ(pool.StoredLength(&big), 1005u);
  pool.Release(&big);
  EXPECT_EQ(big, nullptr);
  EXPECT_EQ(pool.large_count(), 0u);
}

TEST(NamePool, ReleaseMovesLaterRecordsDownAndOwnersFollow) {
  std::vector<char*> owners(63, nullptr);  // 63 records of 16 bytes fill 1008 of 1012
  NamePool pool;
  for (size_t i = 0; i < owners.size(); ++i) Put(pool, &owners[i], "n" + std::to_string(i));
  ASSERT_EQ(pool.chunk_count(), 1u);
  ASSERT_EQ(pool.chunk_free(0), 4u);
  std::vector<char*> before = owners;
  pool.Release(&owners[0]);
  EXPECT_EQ(owners[0], nullptr);
  for (size_t i = 1; i < owners.size(); ++i) {
    EXPECT_EQ(owners[i], before[i - 1]) << i;  // moved down by one record
    EXPECT_EQ(std::string(owners[i]), "n" + std::to_string(i));
  }
  EXPECT_EQ(pool.chunk_free(0), 20u);
  EXPECT_EQ(pool.free_bytes(), 20u);
  // Releasing every record frees the chunk.
  for (size_t i = 1; i < owners.size(); ++i) pool.Release(&owners[i]);
  EXPECT_EQ(pool.chunk_count(), 0u);
  EXPECT_EQ(pool.free_bytes(), 0u);
  EXPECT_EQ(pool.bytes_in_use(), 0u);
}

TEST(NamePool, StoreChoosesTheFullestChunkThatFits) {
  NamePool pool;
  char* first = nullptr;
  char* second = nullptr;
  Put(pool, &first, std::string(499, 'a'));   // 508 bytes: chunk 0 keeps 504
  Put(pool, &second, std::string(599, 'b'));  // 608 bytes: does not fit, chunk 1 keeps 404
  ASSERT_EQ(pool.chunk_count(), 2u);
  char* small = nullptr;
  Put(pool, &small, "x");  // fits both: the chunk with fewer free bytes wins
  EXPECT_EQ(pool.chunk_free(1), 404u - 16);
  EXPECT_EQ(pool.chunk_free(0), 504u);
  EXPECT_EQ(small, second + 600 + 8);
}

TEST(NamePool, HandOverMovesOwnership) {
  NamePool pool;
  char* a = nullptr;
  char* b = nullptr;
  char* moved_to = nullptr;
  Put(pool, &a, "first");
  Put(pool, &b, "second");
  pool.HandOver(&b, &moved_to);
  EXPECT_EQ(b, nullptr);
  ASSERT_NE(moved_to, nullptr);
  pool.Release(&a);  // the record moves down; its new owner sees it
  EXPECT_EQ(std::string(moved_to), "second");
  EXPECT_EQ(pool.chunk_free(0), 1012u - 16);
}

TEST(NamePool, CompactionPacksChunksAndUpdatesOwners) {
  std::vector<char*> owners(64, nullptr);  // owners outlive the pool
  NamePool pool;
  for (size_t i = 0; i < owners.size(); ++i) Put(pool, &owners[i], "r" + std::to_string(i));
  ASSERT_EQ(pool.chunk_count(), 2u);  // the 64th record opened a second chunk
  // Below one chunk's capacity of free space nothing happens.
  std::vector<char*> before = owners;
  pool.Compact();
  EXPECT_EQ(owners, before);
  EXPECT_EQ(pool.chunk_count(), 2u);
  for (size_t i = 0; i < 30; ++i) pool.Release(&owners[i]);
  ASSERT_GE(pool.free_bytes(), pool.capacity());
  pool.Compact();
  EXPECT_EQ(pool.chunk_count(), 1u);
  EXPECT_EQ(std::string(owners[63]), "r63");
  for (size_t i = 30; i < owners.size(); ++i) {
    EXPECT_EQ(std::string(owners[i]), "r" + std::to_string(i));
  }
  EXPECT_EQ(pool.chunk_free(0), 1012u - 34 * 16);
  EXPECT_EQ(pool.free_bytes(), 1012u - 34 * 16);
}

TEST(NamePool, DestroyClearsOwners) {
  char* a = nullptr;
  char* big = nullptr;
  {
    NamePool pool;
    Put(pool, &a, "abc");
    Put(pool, &big, std::string(2000, 'z'));
  }
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(big, nullptr);
}
