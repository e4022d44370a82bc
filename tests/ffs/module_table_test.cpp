// File-system start-up through the module table: calling order, the
// semaphores it creates, the control block table it sets up, and the search
// for the first module that answers. Each case starts from a file system of
// its own, so that the cases hold in any order and in one process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffs/file_system.h"
#include "ffs/file_control_block.h"
#include "ffs/module_table.h"
#include "tests/ffs/semaphore_recorder.h"

namespace {

std::vector<std::string> g_calls;
std::intptr_t ModuleA(FileSystem&, int command, const char*, void*, int, int) {
  g_calls.push_back("A" + std::to_string(command));
  return command == 17 ? 5 : 0;
}
std::intptr_t ModuleB(FileSystem&, int command, const char*, void*, int, int) {
  g_calls.push_back("B" + std::to_string(command));
  return command == 17 ? 6 : 0;
}

TEST(ModuleTable, StartRunsEveryModuleWithZeroThenTwo) {
  FileSystem fs;
  g_calls.clear();
  ASSERT_EQ(ffs_add_module(fs, ModuleA), 0);
  ASSERT_EQ(ffs_add_module(fs, ModuleB), 0);
  ASSERT_EQ(ffs_add_module(fs, ModuleA), 0);  // added once only
  ffs_set_owner(fs, 5, 6);
  SemaphoreRecorder rec;
  EXPECT_EQ(ffs_start(fs), 0);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"A0", "B0", "A2", "B2"}));
  EXPECT_EQ(ffs_owner_uid(fs), 0);
  EXPECT_EQ(ffs_owner_gid(fs), 0);
  EXPECT_EQ(ffs_current_directory(fs), nullptr);
  std::vector<std::string> expected = {"create fsys sem"};
  for (int i = 0; i < 10; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "create fcb%05d", i);
    expected.push_back(name);
  }
  expected.push_back("create FFS_SEM");
  EXPECT_EQ(rec.Events(), expected);
  // The first module that answers non-zero decides.
  g_calls.clear();
  EXPECT_EQ(ffs_ask_modules(fs, 17, "x", nullptr, 0, 0), 5);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"A17"}));
}

TEST(ModuleTable, StartSetsUpTheBlocks) {
  FileSystem fs;
  ASSERT_EQ(ffs_start(fs), 0);
  for (int fd = 0; fd < FFS_FCB_COUNT; ++fd) {
    FileControlBlock* b = ffs_fcb(fs, fd);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(ffs_fcb_is_free(b));
    EXPECT_EQ(b->access, FFS_KIND_FILE);
    EXPECT_NE(b->sem, nullptr);
    EXPECT_EQ(ffs_fcb_index(fs, b), fd);
  }
  EXPECT_EQ(ffs_fcb(fs, -1), nullptr);
  EXPECT_EQ(ffs_fcb(fs, 10), nullptr);
  FileControlBlock* root = ffs_root_block(fs);
  EXPECT_EQ(root->access, FFS_KIND_DIRECTORY);
  EXPECT_NE(root->handler, nullptr);
  EXPECT_EQ(ffs_fcb_index(fs, root), -1);
  // A second start keeps the semaphores of the blocks.
  FfsSem first = ffs_fcb(fs, 0)->sem;
  ASSERT_EQ(ffs_start(fs), 0);
  EXPECT_EQ(ffs_fcb(fs, 0)->sem, first);
}

TEST(ModuleTable, FailedSemaphoreFailsTheStart) {
  FileSystem fs;
  SemaphoreRecorder rec;
  SemaphoreRecorder::FailCreation("fcb00003");
  EXPECT_EQ(ffs_start(fs), -1);
}

TEST(ModuleTable, TableKeepsItsNullEnd) {
  FileSystem fs;
  // Fill every slot but the last: no room is left for another module.
  for (int i = 0; i < FFS_MODULE_TABLE_MAX - 1; ++i)
    if (fs.modules[i] == nullptr) fs.modules[i] = ModuleB;
  EXPECT_EQ(ffs_add_module(fs, ModuleA), -1);
  EXPECT_EQ(ffs_add_module(fs, ModuleB), 0);  // already present
  EXPECT_EQ(fs.modules[FFS_MODULE_TABLE_MAX - 1], nullptr);
}

// The data operations of a directory block refuse with EISDIR.
TEST(FileControlBlocks, DirectoryBlockRefusesData) {
  FileControlBlock b{};
  ffs_fcb_reset(&b, FFS_KIND_DIRECTORY);
  char buf[4];
  ffs_set_errno(0);
  EXPECT_EQ(b.read(&b, buf, 4), -1);
  EXPECT_EQ(b.last_error, FFS_EISDIR);
  EXPECT_EQ(ffs_errno(), FFS_EISDIR);
  b.last_error = 0;
  EXPECT_EQ(b.write(&b, buf, 4), -1);
  EXPECT_EQ(b.last_error, FFS_EISDIR);
  ffs_fcb_reset(&b, FFS_KIND_FILE);
  EXPECT_EQ(b.read, nullptr);
  EXPECT_EQ(b.write, nullptr);
  EXPECT_TRUE(ffs_fcb_is_free(&b));
  b.handler = reinterpret_cast<RequestHandler>(1);
  EXPECT_FALSE(ffs_fcb_is_free(&b));
}

}  // namespace
