// The Eprom byte buffers of the _TORVANE module: raw memory handed to scripts as
// void pointers. The module remembers the size of every buffer it allocated, so
// indexes and image copies into its own buffers are checked; the bindings accept
// no other pointer where a buffer is expected.
#pragma once

#include <cstddef>

namespace torvane {

// A new buffer of `size` bytes (contents undefined), or null when it cannot be had.
void* NewEprom(int size);
// Frees a buffer of this module (null: nothing to do); throws std::invalid_argument
// for any other pointer, which is never freed.
void DeleteEprom(void* buffer);
// Byte `index` of `buffer`; throws std::out_of_range outside a buffer of this
// module and std::invalid_argument for a null buffer.
unsigned char EpromGet(const void* buffer, int index);
void EpromSet(void* buffer, int index, unsigned char value);
// True for a buffer of this module that has not been deleted.
bool IsEprom(const void* buffer);
// False when `buffer` is a buffer of this module holding fewer than `needed` bytes.
bool EpromHolds(const void* buffer, std::size_t needed);

}  // namespace torvane
