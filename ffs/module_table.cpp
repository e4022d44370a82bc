// The module table, file-system start-up, the semaphore "fsys sem", the
// caller's owner and group, the current directory and the clock source.
// The table always ends with a null entry.
#include "ffs/module_table.h"

#include <initializer_list>

#include "ffs/file_system.h"
#include "ffs/nor/nor.h"
#include "ffs/root_handler.h"
#include "ffs/semaphore.h"

FsModuleHandler (&FsModuleTable)[FFS_MODULE_TABLE_MAX] = ffs_default().modules;

namespace {

constexpr char kFsysSemName[] = "fsys sem";

}  // namespace

FfsSem ffs_fsys_sem(FileSystem& fs) { return fs.fsys_sem; }

std::intptr_t ffs_core_handler(FileSystem& fs, int command, const char*, void*, int, int) {
  if (command != FFS_MOD_INIT) return 0;
  if (fs.fsys_sem == nullptr) {
    fs.fsys_sem = ffs_sem_create(kFsysSemName);
    if (fs.fsys_sem == nullptr) return -1;
  }
  return ffs_fcb_table_start(fs, ffs_root_handler) == 0 ? 0 : -1;
}

std::intptr_t ffs_nor_module(FileSystem& fs, int command, const char* name, void* result,
                             int mode, int lock) {
  return nor_volume_control(fs.volumes, command, name, result, mode, lock);
}

int ffs_add_module(FileSystem& fs, FsModuleHandler handler) {
  for (int i = 0; i < FFS_MODULE_TABLE_MAX - 1; ++i) {
    if (fs.modules[i] == handler) return 0;
    if (fs.modules[i] == nullptr) {
      fs.modules[i] = handler;
      return 0;
    }
  }
  return -1;
}

std::intptr_t ffs_ask_modules(FileSystem& fs, int command, const char* name, void* result,
                              int mode, int lock) {
  for (int i = 0; i < FFS_MODULE_TABLE_MAX && fs.modules[i] != nullptr; ++i) {
    const std::intptr_t answer = fs.modules[i](fs, command, name, result, mode, lock);
    if (answer != 0) return answer;
  }
  return 0;
}

int ffs_start(FileSystem& fs) {
  int result = 0;
  for (int command : {FFS_MOD_INIT, FFS_MOD_START})
    for (int i = 0; i < FFS_MODULE_TABLE_MAX && fs.modules[i] != nullptr; ++i)
      if (fs.modules[i](fs, command, nullptr, nullptr, 0, 0) == -1) result = -1;
  ffs_set_current_directory(fs, nullptr, nullptr);
  ffs_set_owner(fs, 0, 0);
  return result;
}

std::uint16_t ffs_owner_uid(FileSystem& fs) { return fs.uid; }
std::uint16_t ffs_owner_gid(FileSystem& fs) { return fs.gid; }
void ffs_set_owner(FileSystem& fs, std::uint16_t uid, std::uint16_t gid) {
  fs.uid = uid;
  fs.gid = gid;
}

// The converter has no clock: every time stamp is 0.
std::uint32_t ffs_clock() { return 0; }

nor::InodeStamp FileSystem::NewInodeStamp() { return {uid, gid, ffs_clock()}; }

void* ffs_current_directory(FileSystem& fs) { return fs.cwd_entry; }
VolumeRecord* ffs_current_directory_volume(FileSystem& fs) { return fs.cwd_volume; }
void ffs_set_current_directory(FileSystem& fs, VolumeRecord* volume, void* entry) {
  fs.cwd_volume = entry ? volume : nullptr;
  fs.cwd_entry = entry;
}
