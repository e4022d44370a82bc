// Shared by the dispatcher's operation files: node helpers over the sector
// manager's RAM node table, the end-of-change sync and the dispatch rules
// every operation applies. Internal to ffs/.
#pragma once

#include <cstdint>
#include <cstring>

#include "ffs/dispatcher.h"
#include "ffs/ffs.h"
#include "ffs/file_control_block.h"
#include "ffs/file_system.h"
#include "ffs/sector_services.h"

namespace ffsd {

using nor::NodeSlot;
using nor::SlotKind;

using ::Fail;

template <typename T>
T* Arg(std::intptr_t a) {
  return reinterpret_cast<T*>(a);
}
inline std::intptr_t Ptr(const void* p) { return reinterpret_cast<std::intptr_t>(p); }

// The sector services of the volume's file system.
inline const FfsSectorServices& Sm(const VolumeRecord* v) { return *ffs_of(v).services; }

inline bool IsDir(const NodeSlot* e) { return e && e->kind == SlotKind::Directory; }
inline bool IsFile(const NodeSlot* e) { return e && e->kind == SlotKind::File; }
inline NodeSlot* EntryOf(const FileControlBlock* b) { return static_cast<NodeSlot*>(b->entry); }
inline NodeSlot* Root(VolumeRecord* v) { return v->nor ? v->nor->nodes.Root() : nullptr; }

inline bool ReadOnly(const VolumeRecord* v) { return (v->flags & FFS_VF_READ_ONLY) != 0; }
inline std::uint32_t InodeBytes(const VolumeRecord* v) { return v->inode_size_estimate; }

// Checkpoint bytes of an entry beyond its name's characters: the fixed fields
// of its slot record (node references: four for a file entry, five for a
// directory entry; the kind byte is counted with the node page) and the NUL
// that ends the stored name.
inline constexpr std::uint32_t kNameTerminatorBytes = 1;
inline constexpr std::uint32_t kFileEntryBytes = nor::kFileFixedBytes + kNameTerminatorBytes;
inline constexpr std::uint32_t kDirectoryEntryBytes =
    nor::kDirectoryFixedBytes + kNameTerminatorBytes;
static_assert(kFileEntryBytes == 17 && kDirectoryEntryBytes == 21, "checkpoint record sizes");
inline std::uint32_t EntryBytes(bool directory) { return directory ? kDirectoryEntryBytes : kFileEntryBytes; }

// Length of a name up to a '/' (or its end).
inline std::size_t ComponentLength(const char* name) {
  const char* slash = std::strchr(name, '/');
  return slash ? static_cast<std::size_t>(slash - name) : std::strlen(name);
}

// Upper bound of any walk over node links (siblings, parents): the slot
// count, so that damaged links can never make a walk endless.
inline std::uint32_t LinkLimit(VolumeRecord* v) { return v->nor ? v->nor->nodes.slot_count() + 1 : 0; }
// The child of dir whose name has exactly these bytes; null when none.
NodeSlot* FindChild(VolumeRecord* v, NodeSlot* dir, const char* name, std::size_t length);
// A new entry (file or directory) with its own inode record, the newest
// child of parent: checkpoint space checked, the name stored, the mode and
// the caller's owner and group stamped. Null with the error number set, every
// slot and name taken returned.
NodeSlot* CreateEntry(VolumeRecord* v, NodeSlot* parent, const char* name, std::uint32_t length,
                      bool directory, int mode);
// The serial number for a new inode record: the volume's next one, or from
// 2^20 on the lowest number no inode record carries.
std::uint32_t NewSerial(VolumeRecord* v);
// Makes entry the first child of parent / takes it out of its parent's list.
void LinkFirstChild(NodeSlot* parent, NodeSlot* entry);
void UnlinkChild(NodeSlot* entry);
// True when dir is entry or lies below it.
bool IsSameOrBelow(VolumeRecord* v, const NodeSlot* dir, const NodeSlot* entry);

// Access check of an inode record against the caller's owner and group:
// mask bits 2 read, 1 write, 4 search. 0, or -1 with EACCES.
int CheckAccess(VolumeRecord* v, const NodeSlot* inode, unsigned mask);
inline constexpr unsigned kRead = 2, kWrite = 1, kSearch = 4;

// Every change the next checkpoint records clears the committed flag (a sync
// must write a checkpoint) and marks the volume changed.
void MarkChanged(VolumeRecord* v);
// The sync that ends every change: the volume marked changed, the
// commit-pending flag cleared and the volume synced in the mode of its
// commit-on-close flag.
std::intptr_t EndChange(VolumeRecord* v);
// Checkpoint bytes of the node page that taking this many slots would add
// (its slots' kind bytes), 0 when free slots remain.
std::uint32_t NewPageBytes(VolumeRecord* v, std::uint32_t slots);

// Open-file bookkeeping shared by open and read-directory-and-open.
std::intptr_t AttachFile(FileControlBlock* b, VolumeRecord* v, NodeSlot* entry, int flags);
// Removes a file entry (remove, empty tree); the caller has checked rights.
std::intptr_t RemoveFileEntry(VolumeRecord* v, NodeSlot* entry);
// Removes an empty directory entry (rmdir, empty tree).
std::intptr_t RemoveDirectoryEntry(VolumeRecord* v, NodeSlot* entry);
// Truncates a file's data to length (0 or more, within its size).
std::intptr_t TruncateInode(VolumeRecord* v, NodeSlot* inode, std::uint32_t length);
// Fills a stat record from an entry.
void FillStat(VolumeRecord* v, const NodeSlot* entry, FfsStat* out, bool directorySize);
// Closes the file of a block: the cached data written back, the open counts
// lowered, a file removed while open reclaimed. 0, or -1 when writing back failed.
int CloseBlock(FileControlBlock* b);
// Frees a file entry that was removed while open, and its data when no
// other name refers to it.
void ReclaimUnlinked(VolumeRecord* v, NodeSlot* entry);
// Directory listings positioned on an entry about to go step back to the
// entry listed before it.
void ForgetCursor(VolumeRecord* v, NodeSlot* entry);
// True when a table block of the volume's file system has this entry open.
bool IsOpen(VolumeRecord* v, const NodeSlot* entry);
// Open-file state lives in the control blocks: a file is open while a table
// block holds one of its names, and open for writing while such a block has
// write or append access.
bool IsFileOpen(VolumeRecord* v, const NodeSlot* inode);
bool OpenForWriting(VolumeRecord* v, const NodeSlot* inode);
// The entry a by-name command names in the block's directory: a1 (up to a
// '/'); the block's own entry for an empty name. Null with ENOENT.
NodeSlot* NamedEntry(FileControlBlock* b, const char* name);
// The caller owns the entry's inode record (EPERM otherwise).
int CheckOwner(VolumeRecord* v, const NodeSlot* entry);

// Makes a block one of this volume's: its entry, the dispatcher as handler,
// the volume's lock and unlock operations.
void AttachToVolume(FileControlBlock* b, VolumeRecord* v, NodeSlot* entry);
// Volume lock and unlock operations of a block (lock mode bit 0: write).
void LockVolume(FileControlBlock* b, int mode);
void UnlockVolume(FileControlBlock* b, int mode);

// The dispatch rules of a command on a block: the block names a volume that
// is mounted and has seen no I/O error (resolution is let through after
// one), and a command that changes the volume is refused on a read-only one.
// False with the error number set.
enum class Rule { kReads, kChanges, kResolves };
bool Admitted(FileControlBlock& b, Rule rule);

// A volume request's locks and rules for its lifetime: the volume's write
// semaphore (unless the request only reads), its read semaphore and
// "FFS_SEM", released in the reverse order; Refused() (error number set)
// while the volume is busy or has seen an I/O error, unless the request may
// run then, and while it is not mounted, unless it is the unmount. Without a
// volume only "FFS_SEM" of the file system is taken.
enum : unsigned { kReadsOnly = 1, kMayFail = 2, kWhileUnmounted = 4 };
class VolumeRequestScope {
 public:
  VolumeRequestScope(FileSystem& fs, VolumeRecord* v, unsigned rules);
  VolumeRequestScope(VolumeRecord& v, unsigned rules) : VolumeRequestScope(ffs_of(&v), &v, rules) {}
  ~VolumeRequestScope();
  VolumeRequestScope(const VolumeRequestScope&) = delete;
  VolumeRequestScope& operator=(const VolumeRequestScope&) = delete;
  bool Refused() const { return refused_; }

 private:
  VolumeLayer& layer_;
  VolumeRecord* v_;
  bool write_;
  bool refused_ = false;
};

}  // namespace ffsd
