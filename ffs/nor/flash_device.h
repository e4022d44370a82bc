// The flash a volume lives on, as the sector manager calls it: eight typed
// operations in descriptor order. Addresses are flash addresses; results
// are 0 for success unless said otherwise. A volume holds a reference to its
// device from registration to removal, so a call reaches the bytes in one hop.
#pragma once

#include <cstdint>

namespace nor {

class FlashDevice {
 public:
  virtual ~FlashDevice() = default;
  // The byte at address as a signed value: an erased byte (0xFF) reads -1.
  virtual int read_byte(std::uint32_t address) = 0;
  // Clears the bits of the byte at address that are clear in value.
  virtual int program_byte(std::uint32_t address, std::uint8_t value) = 0;
  // Writes one device block (the volume's block size) from source.
  virtual int write_block(const void* source, std::uint32_t address) = 0;
  // 1 when the block at address is erased (all 0xFF), else 0.
  virtual int block_erased(std::uint32_t address) = 0;
  // Reads one device block into destination.
  virtual int read_block(void* destination, std::uint32_t address) = 0;
  // A copy inside the device; -1 where the device does not offer it.
  virtual int copy(std::uint32_t destination, std::uint32_t source, std::uint32_t count) = 0;
  // Erases the sector at address; 1 means busy, try again.
  virtual int erase_sector(std::uint32_t address) = 0;
  virtual void idle() = 0;
};

}  // namespace nor
