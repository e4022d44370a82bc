// The access check: each requested right is granted on its own by the bit
// for everybody, the group bit (caller's group is the owner group) or the
// owner bit (caller is the owner), so an owner denied by its own bits may
// still pass through the group or everybody bit.
#include "ffs/dispatch_internal.h"
#include "ffs/module_table.h"

namespace ffsd {
namespace {

struct Right {
  unsigned mask;
  std::uint16_t everybody, group, owner;
};
constexpr Right kRights[] = {
    {kRead, 0x4, 0x20, 0x100},
    {kWrite, 0x2, 0x10, 0x80},
    {kSearch, 0x1, 0x8, 0x40},
};

}  // namespace

int CheckAccess(VolumeRecord* v, const NodeSlot* inode, unsigned mask) {
  if (inode == nullptr) return static_cast<int>(Fail(v, FFS_EACCES));
  FileSystem& fs = ffs_of(v);
  const bool isOwner = ffs_owner_uid(fs) == inode->uid;
  const bool inGroup = ffs_owner_gid(fs) == inode->gid;
  for (const Right& r : kRights) {
    if (!(mask & r.mask)) continue;
    const bool granted = (inode->mode & r.everybody) || (inGroup && (inode->mode & r.group)) ||
                         (isOwner && (inode->mode & r.owner));
    if (!granted) return static_cast<int>(Fail(v, FFS_EACCES));
  }
  return 0;
}

}  // namespace ffsd
