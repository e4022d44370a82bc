// Test semaphores that record every create, wait, release and delete by name,
// installed for the lifetime of the recorder. Handles are the same kind as the
// default primitives' (the name as a std::string), so both may mix.
#pragma once

#include <string>
#include <vector>

#include "ffs/semaphore.h"

class SemaphoreRecorder {
 public:
  SemaphoreRecorder() {
    events_.clear();
    previous_ = ffs_set_semaphore_ops(&kOps);
  }
  ~SemaphoreRecorder() { ffs_set_semaphore_ops(previous_); }
  SemaphoreRecorder(const SemaphoreRecorder&) = delete;
  SemaphoreRecorder& operator=(const SemaphoreRecorder&) = delete;

  std::vector<std::string> Events() const { return events_; }
  void Clear() { events_.clear(); }
  int Created() const { return Count("create "); }
  int Deleted() const { return Count("delete "); }
  // Fails the next creation of a semaphore of this name.
  static void FailCreation(const std::string& name) { failName_ = name; }

 private:
  static std::string Name(FfsSem s) { return *static_cast<std::string*>(s); }
  static FfsSem Create(const char* name) {
    if (name == failName_) {
      failName_.clear();
      return nullptr;
    }
    events_.push_back(std::string("create ") + name);
    return new std::string(name);
  }
  static int Wait(FfsSem s) {
    events_.push_back("wait " + Name(s));
    return 0;
  }
  static void Release(FfsSem s) { events_.push_back("release " + Name(s)); }
  static void Remove(FfsSem s) {
    events_.push_back("delete " + Name(s));
    delete static_cast<std::string*>(s);
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& e : events_) n += e.compare(0, prefix.size(), prefix) == 0;
    return n;
  }

  static inline std::vector<std::string> events_;
  static inline std::string failName_;
  static inline const FfsSemaphoreOps kOps = {Create, Wait, Release, Remove};
  const FfsSemaphoreOps* previous_;
};
