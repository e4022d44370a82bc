// The consistency check of a flash volume, for ffsinspect and for tests that
// want every image they leave behind verified.
//
//   // an image file (mapped privately: the file is never changed)
//   inspect::ImageCheck r = inspect::CheckImage("x.img", flashimage::FlashTypeCode::Old);
//   EXPECT_TRUE(r.Passed()) << r.Describe();
//
//   // a volume already mounted in this process (e.g. over a test flash)
//   std::vector<std::string> problems = inspect::CheckVolume(*record->nor);
//
// Invariants: every cluster in exactly one of a chain, the free list, dirty
// or header; chains acyclic and inside the geometry, each owned by one inode
// record or the checkpoint; file sizes agreeing with chains and tails; the
// node tree's links symmetric and acyclic, every entry reachable, link counts
// and serials right; the free list linked, counted, in whole sector tails and
// erased; the checkpoint area erased; the sector table's counts, flags and
// the maximum erase count agreeing with the map; the newest checkpoint on
// flash being the volume's, with its clean mark as the volume takes it; every
// usable sector signed.
#pragma once

#include <string>
#include <vector>

#include "flashimage/flash_types.h"
#include "ffs/nor/volume.h"
#include "imagecheck/image_session.h"

namespace inspect {

// One line per violation (no trailing newline); empty when all hold. Only
// reads: neither the RAM state, the read counts nor the flash is changed.
// Call it on a volume at rest: just mounted, or after a sync with no
// modified cache entry (a modified entry holds back one free cluster that
// the free count already left out).
std::vector<std::string> CheckVolume(nor::Volume& v);

struct ImageCheck {
  SessionStatus status = SessionStatus::CannotOpen;
  int mountError = 0;                   // file system error number when it did not mount
  std::vector<std::string> violations;  // when it mounted
  bool Passed() const { return status == SessionStatus::Mounted && violations.empty(); }
  // The lines ffsinspect check prints (without the summary line).
  std::string Describe() const;
};

// Maps the image privately, mounts it (recovery in memory only), checks it
// and unmounts it again. The process must hold no volume of the converter's
// name ("TmpDisc") meanwhile.
ImageCheck CheckImage(const std::string& path, flashimage::FlashTypeCode type);

}  // namespace inspect
