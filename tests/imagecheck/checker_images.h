// Images for the ffsinspect tests: a small tree copied in by vorel, and the
// byte-level damage and interruptions the tests apply to image files.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/temp_dir.h"

namespace inspecttest {

inline constexpr char kOld[] = "MX29LV640B";
inline constexpr char kNew[] = "M29W256G";
inline constexpr std::uint32_t kOldSector = 65536;
inline constexpr std::uint32_t kMiB = 1u << 20;

// Runs vorel ptf on a tree of "a.txt" ("hello") and "d/b.bin" (600 bytes);
// answers the image path (dir/name). Fails the test when vorel fails.
std::string MakeSampleImage(const testsupport::TempDir& dir, const std::string& name,
                            const std::string& type = kOld, std::uint32_t size = kMiB);

std::string ReadAt(const std::string& path, std::uint64_t offset, std::size_t count);
void WriteAt(const std::string& path, std::uint64_t offset, const std::string& bytes);
// Modification time in nanoseconds.
long long ModifiedNs(const std::string& path);

}  // namespace inspecttest
