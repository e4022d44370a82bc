// The module table, file-system start-up, the semaphore "fsys sem", the
// caller's owner and group, the current directory and the clock source.
// The table always ends with a null entry.
#include "ffs/module_table.h"

#include <initializer_list>

#include "ffs/file_control_block.h"
#include "ffs/nor/nor.h"
#include "ffs/root_handler.h"
#include "ffs/semaphore.h"

FsModuleHandler FsModuleTable[FFS_MODULE_TABLE_MAX] = {ffs_core_handler, nor_volume_control};

namespace {

constexpr char kFsysSemName[] = "fsys sem";

FfsSem g_fsysSem = nullptr;
std::uint16_t g_uid = 0;
std::uint16_t g_gid = 0;
VolumeRecord* g_cwdVolume = nullptr;
void* g_cwdEntry = nullptr;

}  // namespace

FfsSem ffs_fsys_sem() { return g_fsysSem; }

std::intptr_t ffs_core_handler(int command, const char*, void*, int, int) {
  if (command != FFS_MOD_INIT) return 0;
  if (g_fsysSem == nullptr) {
    g_fsysSem = ffs_sem_create(kFsysSemName);
    if (g_fsysSem == nullptr) return -1;
  }
  return ffs_fcb_table_start(ffs_root_handler) == 0 ? 0 : -1;
}

int ffs_add_module(FsModuleHandler handler) {
  for (int i = 0; i < FFS_MODULE_TABLE_MAX - 1; ++i) {
    if (FsModuleTable[i] == handler) return 0;
    if (FsModuleTable[i] == nullptr) {
      FsModuleTable[i] = handler;
      return 0;
    }
  }
  return -1;
}

std::intptr_t ffs_ask_modules(int command, const char* name, void* result, int mode, int lock) {
  for (int i = 0; i < FFS_MODULE_TABLE_MAX && FsModuleTable[i] != nullptr; ++i) {
    const std::intptr_t answer = FsModuleTable[i](command, name, result, mode, lock);
    if (answer != 0) return answer;
  }
  return 0;
}

int ffs_start() {
  int result = 0;
  for (int command : {FFS_MOD_INIT, FFS_MOD_START})
    for (int i = 0; i < FFS_MODULE_TABLE_MAX && FsModuleTable[i] != nullptr; ++i)
      if (FsModuleTable[i](command, nullptr, nullptr, 0, 0) == -1) result = -1;
  ffs_set_current_directory(nullptr, nullptr);
  ffs_set_owner(0, 0);
  return result;
}

std::uint16_t ffs_owner_uid() { return g_uid; }
std::uint16_t ffs_owner_gid() { return g_gid; }
void ffs_set_owner(std::uint16_t uid, std::uint16_t gid) {
  g_uid = uid;
  g_gid = gid;
}

// The converter has no clock: every time stamp is 0.
std::uint32_t ffs_clock() { return 0; }

void* ffs_current_directory() { return g_cwdEntry; }
VolumeRecord* ffs_current_directory_volume() { return g_cwdVolume; }
void ffs_set_current_directory(VolumeRecord* volume, void* entry) {
  g_cwdVolume = entry ? volume : nullptr;
  g_cwdEntry = entry;
}
