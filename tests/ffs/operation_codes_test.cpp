// Each named operation of the dispatcher against its command code: two
// images are prepared alike, one runs the typed call, the other sends the
// command code through ffs_dispatch (as the module table does), under each
// condition (plain, read-only, I/O error seen, another owner). Results, error
// numbers, filled records, the trees and the image bytes after the final
// commit must be equal; after an I/O error only resolution, statistics and
// unmount go on.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ffs/dispatcher.h"
#include "ffs/file_api.h"
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/nor/volume.h"
#include "ffs/volume_table.h"
#include "tests/support/memory_flash.h"

namespace {

using ffsd::Entry;

// What a row works with in one image; filled records are compared too.
struct Ctx {
  FileSystem& fs;
  VolumeRecord& v;
  FileControlBlock& b;  // resolved for the row's path, or descriptor 0's
  const char* name;     // the rest of the path after resolution
  Entry* entry;         // what resolution found
  FfsStat st{};
  FfsVolumeStats stats{};
  std::uint32_t word = 0x5A5A;
  int out = 99;
  char text[80] = {};
};

std::intptr_t A(const void* p) { return reinterpret_cast<std::intptr_t>(p); }
std::intptr_t Code(Ctx& c, int command, std::intptr_t a1 = 0, std::intptr_t a2 = 0, std::intptr_t a3 = 0,
                   std::intptr_t a4 = 0, std::intptr_t a5 = 0) {
  return ffs_dispatch(&c.b, command, a1, a2, a3, a4, a5);
}
std::intptr_t VolumeCode(Ctx& c, int command, std::intptr_t a2 = 0, std::intptr_t a3 = 0, std::intptr_t a4 = 0,
                         std::intptr_t a5 = 0) {
  return ffs_dispatch(nullptr, command, A(&c.v), a2, a3, a4, a5);
}
Entry* Root(Ctx& c) { return c.v.nor ? c.v.nor->nodes.Root() : nullptr; }
// Closes what an open on a temporary block attached, alike in both images.
std::intptr_t Closed(Ctx& c, std::intptr_t r) {
  if (r == 0 && c.b.volume != nullptr && c.b.entry != nullptr) {
    ffsd::Close(c.b);
    c.b.unlock(&c.b, FFS_LOCK_OPEN + FFS_LOCK_CLOSE);
  }
  return r;
}
// The entry a resolution answers, by its inode's serial number.
std::intptr_t Serial(std::intptr_t r) {
  return r == 0 || r == -1 ? r : 1000 + reinterpret_cast<const Entry*>(r)->inode->serial;
}
int ByName(const char* x, const char* y) { return -std::strcmp(x, y); }

using Call = std::function<std::intptr_t(Ctx&)>;
struct Row {
  const char* label;
  const char* path;  // null: descriptor 0, open for reading and writing on /TmpDisc/d/f
  int what;
  Call typed, code;
  bool afterIoError = false;  // goes on after an I/O error was seen
};

constexpr int P = FFS_RESOLVE_PARENT, D = FFS_RESOLVE_DIRECTORY, O = FFS_RESOLVE_OBJECT;
constexpr char kF[] = "/TmpDisc/d/f";
const std::uint32_t kTimes[2] = {7, 9};
const FfsModeTimes kModeTimes{0x1A4, 3, 4};

const std::vector<Row>& Rows() {
  using namespace ffsd;
  static const std::vector<Row> rows = {
      {"open create", "/TmpDisc/d/n", P,
       [](Ctx& c) { return Closed(c, Open(c.b, c.name, FFS_O_WRONLY | FFS_O_CREAT, 0x1C0, c.entry)); },
       [](Ctx& c) { return Closed(c, Code(c, FFS_REQ_OPEN, A(c.name), 9, 0x1C0, A(c.entry))); }},
      {"open exclusive", kF, P, [](Ctx& c) { return Closed(c, Open(c.b, c.name, 24, 0, c.entry)); },
       [](Ctx& c) { return Closed(c, Code(c, FFS_REQ_OPEN, A(c.name), 24, 0, A(c.entry))); }},
      {"open directory to write", "/TmpDisc/d", P, [](Ctx& c) { return Closed(c, Open(c.b, c.name, 2, 0, c.entry)); },
       [](Ctx& c) { return Closed(c, Code(c, FFS_REQ_OPEN, A(c.name), 2, 0, A(c.entry))); }},
      {"mkdir", "/TmpDisc/d/m", P, [](Ctx& c) { return Mkdir(c.b, c.name, 0x1FF, c.entry); },
       [](Ctx& c) { return Code(c, FFS_REQ_MKDIR, A(c.name), 0x1FF, A(c.entry)); }},
      {"mkdir existing", kF, P, [](Ctx& c) { return Mkdir(c.b, c.name, 0x1FF, c.entry); },
       [](Ctx& c) { return Code(c, FFS_REQ_MKDIR, A(c.name), 0x1FF, A(c.entry)); }},
      {"stat", kF, O, [](Ctx& c) { return Stat(c.b, c.entry, &c.st); },
       [](Ctx& c) { return Code(c, FFS_REQ_STAT, A(kF), A(&c.st), A(c.entry)); }},
      {"stat with size", "/TmpDisc/d", O, [](Ctx& c) { return StatSize(c.b, c.entry, &c.st); },
       [](Ctx& c) { return Code(c, FFS_REQ_STAT_SIZE, 0, A(&c.st), A(c.entry)); }},
      {"remove open file", kF, P, [](Ctx& c) { return Remove(c.b, c.name); },
       [](Ctx& c) { return Code(c, FFS_REQ_REMOVE, A(c.name)); }},
      {"remove missing", "/TmpDisc/d/x", P, [](Ctx& c) { return Remove(c.b, c.name); },
       [](Ctx& c) { return Code(c, FFS_REQ_REMOVE, A(c.name)); }},
      {"rmdir full", "/TmpDisc/d", O, [](Ctx& c) { return Rmdir(c.b, c.entry); },
       [](Ctx& c) { return Code(c, FFS_REQ_RMDIR, A(c.entry)); }},
      {"rmdir empty", "/TmpDisc/e", O, [](Ctx& c) { return Rmdir(c.b, c.entry); },
       [](Ctx& c) { return Code(c, FFS_REQ_RMDIR, A(c.entry)); }},
      {"rename up", kF, P, [](Ctx& c) { return Rename(c.b, c.name, "r", Root(c)); },
       [](Ctx& c) { return Code(c, FFS_REQ_RENAME, A(c.name), A("r"), A(Root(c))); }},
      {"link", kF, O, [](Ctx& c) { return Link(c.b, "l", Root(c), c.entry); },
       [](Ctx& c) { return Code(c, FFS_REQ_LINK, A("l"), A(Root(c)), A(c.entry)); }},
      {"truncate", kF, P, [](Ctx& c) { return Truncate(c.b, c.name, 100); },
       [](Ctx& c) { return Code(c, FFS_REQ_TRUNCATE, A(c.name), 100); }},
      {"truncate negative", kF, P, [](Ctx& c) { return Truncate(c.b, c.name, -1); },
       [](Ctx& c) { return Code(c, FFS_REQ_TRUNCATE, A(c.name), -1); }},
      {"chmod", kF, P, [](Ctx& c) { return Chmod(c.b, c.name, 0x41A4); },
       [](Ctx& c) { return Code(c, FFS_REQ_CHMOD, A(c.name), 0x41A4); }},
      {"chown", kF, P, [](Ctx& c) { return Chown(c.b, c.name, 3, 4); },
       [](Ctx& c) { return Code(c, FFS_REQ_CHOWN, A(c.name), 3, 4); }},
      {"access write", kF, P, [](Ctx& c) { return Access(c.b, c.name, 2); },
       [](Ctx& c) { return Code(c, FFS_REQ_ACCESS, A(c.name), 2); }},
      {"access read", kF, P, [](Ctx& c) { return Access(c.b, c.name, 4); },
       [](Ctx& c) { return Code(c, FFS_REQ_ACCESS, A(c.name), 4); }},
      {"attributes", kF, P, [](Ctx& c) { return Attributes(c.b, c.name, 0xFF, &c.word); },
       [](Ctx& c) { return Code(c, FFS_REQ_ATTRIBUTES, A(c.name), 0xFF, A(&c.word)); }},
      {"set times", kF, P, [](Ctx& c) { return SetTimes(c.b, c.name, kTimes); },
       [](Ctx& c) { return Code(c, FFS_REQ_SET_TIMES, A(c.name), A(kTimes)); }},
      {"file id", kF, P, [](Ctx& c) { return FileId(c.b, c.name); },
       [](Ctx& c) { return Code(c, FFS_REQ_FILE_ID, A(c.name)); }},
      {"chdir", "/TmpDisc/d", D, [](Ctx& c) { return Chdir(c.b); }, [](Ctx& c) { return Code(c, FFS_REQ_CHDIR); }},
      {"empty tree", "/TmpDisc/d", D, [](Ctx& c) { return EmptyTree(c.b, c.entry); },
       [](Ctx& c) { return Code(c, FFS_REQ_EMPTY_TREE, A(c.entry)); }},
      {"sort", "/TmpDisc", D, [](Ctx& c) { return SortDir(c.b, c.entry, ByName); },
       [](Ctx& c) { return Code(c, FFS_REQ_SORT_DIR, A(c.entry), A(reinterpret_cast<const void*>(ByName))); }},
      {"readdir", "/TmpDisc", D, [](Ctx& c) { return Readdir(c.b); }, [](Ctx& c) { return Code(c, FFS_REQ_READDIR); }},
      {"readdir stat", "/TmpDisc", D, [](Ctx& c) { return ReaddirStat(c.b); },
       [](Ctx& c) { return Code(c, FFS_REQ_READDIR_STAT); }},
      {"readdir open", "/TmpDisc/d", D, [](Ctx& c) { return ReaddirOpen(c.b, 0, &c.out); },
       [](Ctx& c) { return Code(c, FFS_REQ_READDIR_OPEN, 0, A(&c.out)); }},
      {"resolve", "/TmpDisc", D,
       [](Ctx& c) {
         const char* p = "d/f";
         return Serial(Resolve(c.b, &p, O, false, 0));
       },
       [](Ctx& c) {
         const char* p = "d/f";
         return Serial(Code(c, FFS_REQ_RESOLVE, A(&p), O, 0, 0));
       },
       true},
      {"not offered", "/TmpDisc", D, [](Ctx& c) { return NotOffered(c.b); },
       [](Ctx& c) { return Code(c, FFS_REQ_NOT_OFFERED); }},
      {"seek", nullptr, 0, [](Ctx& c) { return Seek(c.b, 300, 0); }, [](Ctx& c) { return Code(c, FFS_REQ_SEEK, 300, 0); }},
      {"seek before start", nullptr, 0, [](Ctx& c) { return Seek(c.b, -800, 1); },
       [](Ctx& c) { return Code(c, FFS_REQ_SEEK, -800, 1); }},
      {"seek bad whence", nullptr, 0, [](Ctx& c) { return Seek(c.b, 1, 7); },
       [](Ctx& c) { return Code(c, FFS_REQ_SEEK, 1, 7); }},
      {"tell", nullptr, 0, [](Ctx& c) { return Tell(c.b); }, [](Ctx& c) { return Code(c, FFS_REQ_TELL); }},
      {"eof", nullptr, 0, [](Ctx& c) { return Eof(c.b); }, [](Ctx& c) { return Code(c, FFS_REQ_EOF); }},
      {"ftruncate", nullptr, 0, [](Ctx& c) { return Ftruncate(c.b, 600); },
       [](Ctx& c) { return Code(c, FFS_REQ_FTRUNCATE, 600); }},
      {"flags", nullptr, 0, [](Ctx& c) { return SetFlags(c.b, 4 | 64) + 10 * GetFlags(c.b); },
       [](Ctx& c) { return Code(c, FFS_REQ_SET_FLAGS, 4 | 64) + 10 * Code(c, FFS_REQ_GET_FLAGS); }},
      {"fstat", nullptr, 0, [](Ctx& c) { return Fstat(c.b, &c.st); }, [](Ctx& c) { return Code(c, FFS_REQ_FSTAT, A(&c.st)); }},
      {"flush", nullptr, 0, [](Ctx& c) { return Flush(c.b); }, [](Ctx& c) { return Code(c, FFS_REQ_FLUSH); }},
      {"dup", nullptr, 0, [](Ctx& c) { return Dup(c.b); }, [](Ctx& c) { return Code(c, FFS_REQ_DUP); }},
      {"close", nullptr, 0, [](Ctx& c) { return Close(c.b); }, [](Ctx& c) { return Code(c, FFS_REQ_CLOSE); }},
      {"mode and times", nullptr, 0, [](Ctx& c) { return SetModeTimes(c.b, &kModeTimes); },
       [](Ctx& c) { return Code(c, FFS_REQ_SET_MODE_TIMES, A(&kModeTimes)); }},
      {"hold and release", "/TmpDisc", D, [](Ctx& c) { return HoldCommits(c.v) + 10 * ReleaseCommits(c.v); },
       [](Ctx& c) { return VolumeCode(c, FFS_REQ_HOLD_COMMITS) + 10 * VolumeCode(c, FFS_REQ_RELEASE_COMMITS); }},
      {"sync", "/TmpDisc", D, [](Ctx& c) { return SyncNow(c.v); },
       [](Ctx& c) { return VolumeCode(c, FFS_REQ_SYNC_NOW); }},
      {"compact and space", "/TmpDisc", D, [](Ctx& c) { return CompactNames(c.v) + 10 * SpaceCheck(c.v); },
       [](Ctx& c) { return VolumeCode(c, FFS_REQ_COMPACT_NAMES) + 10 * VolumeCode(c, FFS_REQ_SPACE_CHECK); }},
      {"statistics", "/TmpDisc", D, [](Ctx& c) { return VolumeStats(c.v, &c.stats); },
       [](Ctx& c) { return VolumeCode(c, FFS_REQ_VOLUME_STATS, A(&c.stats)); }, true},
      {"getcwd", "/TmpDisc", D, [](Ctx& c) { return Getcwd(c.v, c.text, sizeof c.text); },
       [](Ctx& c) { return VolumeCode(c, FFS_REQ_GETCWD, A(c.text), sizeof c.text); }},
      {"name of file id", kF, O,
       [](Ctx& c) {
         FfsPathBuffer pb{c.text, sizeof c.text};
         return FileIdName(c.v, c.v.volume_index, c.entry->inode->serial, false, &pb);
       },
       [](Ctx& c) {
         FfsPathBuffer pb{c.text, sizeof c.text};
         return VolumeCode(c, FFS_REQ_FILE_ID_NAME, c.v.volume_index, c.entry->inode->serial, 0, A(&pb));
       }},
      {"unmount", "/TmpDisc", D, [](Ctx& c) { return Unmount(c.v, true); },
       [](Ctx& c) { return VolumeCode(c, FFS_REQ_UNMOUNT, 1); }, true},
  };
  return rows;
}

struct Condition {
  const char* label;
  std::uint32_t flags;  // volume flags set before the call
  std::uint16_t owner;
};
const Condition kConditions[] = {
    {"plain", 0, 0}, {"read-only", FFS_VF_READ_ONLY, 0}, {"I/O error seen", FFS_VF_IO_ERROR, 0}, {"other owner", 0, 5}};

// A result as seen from outside the image: addresses inside it by what they name.
std::string Outcome(const Ctx& c, std::intptr_t r) {
  if (r == A(&c.b.dirent)) return std::string("entry record ") + c.b.dirent.name;
  if (r == A(&c.b)) return "the block";
  if (r == A(c.text)) return std::string("text ") + c.text;
  return std::to_string(r);
}

std::string Tree(FileSystem& fs, const std::string& dir) {
  std::string out;
  FileControlBlock* d = ffs_opendir(fs, dir.c_str());
  if (d == nullptr) return "<" + std::to_string(ffs_errno(fs)) + ">";
  std::vector<std::string> names;
  while (const FfsDirent* e = ffs_readdir(fs, d)) names.push_back(e->name);
  ffs_closedir(fs, d);
  for (const std::string& n : names) {
    const std::string path = dir + "/" + n;
    FfsStat st{};
    ffs_stat(fs, path.c_str(), &st);
    out += path + " " + std::to_string(st.mode) + " " + std::to_string(st.size) + " " + std::to_string(st.nlink) +
           " " + std::to_string(st.uid) + " " + std::to_string(st.mtime) + "\n";
    if (st.mode & FFS_S_IFDIR) out += Tree(fs, path);
  }
  return out;
}

// One image: prepared, the row run under the condition, then described.
struct Outcomes {
  std::string result, records, tree;
  std::vector<std::uint8_t> bytes;
};

Outcomes RunRow(const Row& row, const Condition& cond, bool typed) {
  testsupport::MemoryFlash flash(65536, 8);
  auto fs = std::make_unique<FileSystem>();
  Outcomes run;
  EXPECT_EQ(ffs_start(*fs), 0);
  EXPECT_EQ(flash.AddFormattedVolume(*fs, "TmpDisc"), 0);
  ffs_mkdir(*fs, "/TmpDisc/d", 0x1FF);
  ffs_mkdir(*fs, "/TmpDisc/e", 0x1FF);
  const int fd = ffs_open(*fs, kF, FFS_O_RDWR | FFS_O_CREAT, 0x1FF);
  EXPECT_EQ(fd, 0);
  const std::string data(700, 'x');
  ffs_write(*fs, fd, data.data(), static_cast<std::uint32_t>(data.size()));
  VolumeRecord& v = *ffs_find_volume(*fs, "TmpDisc");
  const std::uint32_t flags = v.flags;
  auto call = [&](FileControlBlock& b, const char* name, std::intptr_t entry) {
    v.flags |= cond.flags;
    ffs_set_owner(*fs, cond.owner, cond.owner);
    Ctx c{*fs, v, b, name, ffs_entry(entry)};
    ffs_set_errno(*fs, 0);
    const std::intptr_t r = typed ? row.typed(c) : row.code(c);
    run.result = Outcome(c, r) + " errno " + std::to_string(ffs_errno(*fs));
    run.records = std::string(reinterpret_cast<const char*>(&c.st), sizeof c.st) +
                  std::string(reinterpret_cast<const char*>(&c.stats), sizeof c.stats) + c.text +
                  std::to_string(c.word) + " " + std::to_string(c.out);
    v.flags = (v.flags & ~cond.flags) | (flags & cond.flags);
    ffs_set_owner(*fs, 0, 0);
    return r;
  };
  if (row.path != nullptr) ffs_on_path(*fs, row.path, row.what, FFS_LOCK_OPEN, FFS_KIND_FILE, call);
  else ffs_on_fd(*fs, fd, FFS_LOCK_OPEN, [&](FileControlBlock& b) { return call(b, "", 0); });
  run.tree = Tree(*fs, "/TmpDisc");
  EXPECT_EQ(ffs_remove_volume(*fs, "TmpDisc"), 0);
  run.bytes = flash.bytes;
  return run;
}

TEST(OperationCodes, TypedCallsAndTheirCommandCodesAgree) {
  int failures = 0, successes = 0;
  for (const Row& row : Rows()) {
    for (const Condition& cond : kConditions) {
      const Outcomes typed = RunRow(row, cond, true);
      const Outcomes code = RunRow(row, cond, false);
      const std::string where = std::string(row.label) + ", " + cond.label;
      EXPECT_EQ(typed.result, code.result) << where;
      EXPECT_EQ(typed.records, code.records) << where;
      EXPECT_EQ(typed.tree, code.tree) << where;
      EXPECT_TRUE(typed.bytes == code.bytes) << where;
      (typed.result.rfind("-1 ", 0) == 0 ? failures : successes)++;
      // After an I/O error every other operation is refused with -1 (a row
      // of two operations: -11).
      if (cond.flags == FFS_VF_IO_ERROR && !row.afterIoError) {
        EXPECT_EQ(typed.result.rfind("-1", 0), 0u) << where << ": " << typed.result;
      }
    }
  }
  // The table reaches both outcomes, so agreement is not agreement on refusals only.
  EXPECT_GT(failures, 40);
  EXPECT_GT(successes, 60);
}

}  // namespace
