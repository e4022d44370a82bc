// An in-memory NOR flash that loses power on request: during the k-th
// program, block-write or erase call it cuts, the cut call having done only a
// part of its work (the words of a block write up to a random bit of a random
// word, a sector left with arbitrary bytes by an erase, a program that clears
// only some of its bits), and every later call is refused until the test
// "reboots" it. Programming and block writes only clear bits (AND), as NOR
// does; a block write that would not read back as written (a 1 over a bit
// that is already 0) is counted as a misuse of the flash.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "ffs/nor/flash_device.h"
#include "ffs/nor/volume_record.h"

namespace testsupport {

class PowerCutFlash : public nor::FlashDevice {
 public:
  static constexpr std::uint32_t kBlock = 512;
  PowerCutFlash(std::uint32_t sectorSize, std::uint32_t sectorCount);

  // Power is cut during call number k (counting program, write and erase
  // calls from 1); 0 never cuts. The seed chooses how much the cut call does.
  void CutAt(std::uint64_t k, std::uint32_t seed);
  // Power back: calls work again and the counter starts over.
  void Reboot();
  bool Dead() const { return dead_; }
  std::uint64_t Calls() const { return calls_; }
  std::uint64_t Erases() const { return erases_; }  // completed erases since the reboot
  // Block writes since construction that did not read back as written
  // because a bit written as 1 was already 0, and the first such address.
  std::uint64_t Overwrites() const { return overwrites_; }
  std::uint32_t FirstOverwrite() const { return firstOverwrite_; }
  // Address of the program call that was cut, or UINT32_MAX.
  std::uint32_t CutProgramAddress() const { return cutProgram_; }
  // Called after every program, write and erase call that completed, with
  // its number and, for a program call, its address (UINT32_MAX otherwise).
  void (*afterCall)(void* context, std::uint64_t call, std::uint32_t programAddress) = nullptr;
  void* afterCallContext = nullptr;

  // Registration descriptor of this flash under the given name.
  VolumeDescriptor Descriptor(const char* name);

  std::vector<std::uint8_t> bytes;
  std::uint32_t sectorSize;
  std::uint32_t sectorCount;

  // The device operations the volume calls; program, write and erase are
  // the ones power is cut in.
  int Program(std::uint32_t a, std::uint8_t v);
  int Write(const void* src, std::uint32_t a);
  int Erase(std::uint32_t a);
  int read_byte(std::uint32_t a) override;
  int program_byte(std::uint32_t a, std::uint8_t v) override { return Program(a, v); }
  int write_block(const void* src, std::uint32_t a) override { return Write(src, a); }
  int block_erased(std::uint32_t a) override;
  int read_block(void* dst, std::uint32_t a) override;
  int copy(std::uint32_t, std::uint32_t, std::uint32_t) override { return -1; }
  int erase_sector(std::uint32_t a) override { return Erase(a); }
  void idle() override {}
  bool Inside(std::uint32_t a, std::uint32_t n) const {
    return a <= bytes.size() && n <= bytes.size() - a;
  }

 private:
  // True when this call may run; the call at the cut point runs in part.
  enum class Fate { Run, Cut, Refuse };
  Fate Next();
  void Done(std::uint32_t programAddress);

  std::uint64_t calls_ = 0;
  std::uint64_t cutAt_ = 0;
  std::uint64_t erases_ = 0;
  bool dead_ = false;
  std::uint32_t cutProgram_ = UINT32_MAX;
  std::uint64_t overwrites_ = 0;
  std::uint32_t firstOverwrite_ = UINT32_MAX;
  std::mt19937 rng_;
};

}  // namespace testsupport
