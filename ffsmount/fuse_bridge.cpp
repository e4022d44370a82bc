// libfuse 3 high-level callbacks, each a thin call of Operations. The loop is
// fuse_loop (one thread); the only other thread is the commit timer, which
// goes through the same Operations mutex.
#define FUSE_USE_VERSION 35
#include "ffsmount/fuse_bridge.h"

#include <fuse.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ffsmount/messages.h"

namespace ffsmount {

namespace {

Operations* g_ops = nullptr;
Operations& Ops() { return *g_ops; }

int Getattr(const char* path, struct stat* st, fuse_file_info*) { return Ops().Getattr(path, *st); }

int Readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  std::vector<std::string> names;
  if (const int rc = Ops().Readdir(path, names); rc != 0) return rc;
  fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
  fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
  for (const std::string& n : names) fill(buffer, n.c_str(), nullptr, 0, fuse_fill_dir_flags(0));
  return 0;
}

int Open(const char* path, fuse_file_info* fi) { return Ops().Open(path, fi->flags, fi->fh); }
int Create(const char* path, mode_t mode, fuse_file_info* fi) {
  return Ops().Create(path, mode, fi->fh);
}
int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  return Ops().Read(path, fi->fh, buffer, size, offset);
}
int Write(const char* path, const char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  return Ops().Write(path, fi->fh, buffer, size, offset);
}
int Release(const char*, fuse_file_info* fi) { return Ops().Release(fi->fh); }
int Fsync(const char*, int, fuse_file_info*) { return Ops().Fsync(); }
int Truncate(const char* path, off_t length, fuse_file_info*) { return Ops().Truncate(path, length); }
int Mkdir(const char* path, mode_t mode) { return Ops().Mkdir(path, mode); }
int Unlink(const char* path) { return Ops().Unlink(path); }
int Rmdir(const char* path) { return Ops().Rmdir(path); }
int Rename(const char* from, const char* to, unsigned flags) { return Ops().Rename(from, to, flags); }
int Link(const char* from, const char* to) { return Ops().Link(from, to); }
int Chmod(const char* path, mode_t mode, fuse_file_info*) { return Ops().Chmod(path, mode); }
int Utimens(const char* path, const timespec times[2], fuse_file_info*) {
  return Ops().Utimens(path, times);
}
int Statfs(const char*, struct statvfs* out) { return Ops().Statfs(*out); }
// What the file system cannot hold: no symbolic links, no device nodes, no
// owners but the one.
int Symlink(const char*, const char*) { return -EPERM; }
int Mknod(const char*, mode_t, dev_t) { return -EPERM; }
int Chown(const char*, uid_t, gid_t, fuse_file_info*) { return -EPERM; }

void* Init(fuse_conn_info*, fuse_config* cfg) {
  cfg->use_ino = 1;  // the file's serial is its inode number
  cfg->nullpath_ok = 0;
  return nullptr;
}

fuse_operations MakeOperations() {
  fuse_operations o{};
  o.init = Init;
  o.getattr = Getattr;
  o.readdir = Readdir;
  o.open = Open;
  o.read = Read;
  o.release = Release;
  o.statfs = Statfs;
  o.fsync = Fsync;
  o.fsyncdir = [](const char*, int, fuse_file_info*) { return Ops().Fsync(); };
  o.create = Create;
  o.write = Write;
  o.truncate = Truncate;
  o.mkdir = Mkdir;
  o.unlink = Unlink;
  o.rmdir = Rmdir;
  o.rename = Rename;
  o.link = Link;
  o.chmod = Chmod;
  o.utimens = Utimens;
  o.symlink = Symlink;
  o.mknod = Mknod;
  o.chown = Chown;
  return o;
}

// Commits every kCommitIntervalSeconds while the mount is dirty, until stopped.
class CommitTimer {
 public:
  explicit CommitTimer(Operations& ops) : ops_(ops), thread_([this] { Run(); }) {}
  ~CommitTimer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(kCommitIntervalSeconds), [this] { return stop_; })) {
      lock.unlock();
      if (const int rc = ops_.Fsync(); rc != 0) std::printf(msg::kTimerCommitFailed, -rc);
      lock.lock();
    }
  }

  Operations& ops_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

int ServeMount(Operations& ops, const std::string& mountPoint, const std::string& imagePath,
               bool writable, bool foreground) {
  g_ops = &ops;
  const std::string options = "fsname=" + imagePath + ",subtype=ffsmount" + (writable ? "" : ",ro");
  std::vector<const char*> argv{"ffsmount", "-o", options.c_str()};
  fuse_args args = FUSE_ARGS_INIT(int(argv.size()), const_cast<char**>(argv.data()));
  const fuse_operations operations = MakeOperations();
  fuse* f = fuse_new(&args, &operations, sizeof operations, nullptr);
  if (f == nullptr) return 1;
  int rc = 1;
  if (fuse_mount(f, mountPoint.c_str()) == 0) {
    fuse_session* se = fuse_get_session(f);
    fuse_set_signal_handlers(se);
    std::printf(msg::kMounted, imagePath.c_str(), mountPoint.c_str());
    std::fflush(stdout);  // before detaching, which closes standard output
    fuse_daemonize(foreground ? 1 : 0);
    {
      std::unique_ptr<CommitTimer> timer;
      if (writable) timer = std::make_unique<CommitTimer>(ops);
      fuse_loop(f);
    }
    fuse_remove_signal_handlers(se);
    fuse_unmount(f);
    rc = 0;
  }
  fuse_destroy(f);
  fuse_opt_free_args(&args);
  return rc;
}

}  // namespace ffsmount
