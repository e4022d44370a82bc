// The bytes the node table takes in the next checkpoint (one kind byte per
// slot of every page, plus each entry's and inode's record), kept between
// recounts. Invariant: while `known` is set, `bytes` equals a full walk of
// the table; a change that is not counted here clears `known`.
#pragma once

#include <cstdint>

namespace nor {

class Volume;

struct NodeBytes {
  bool known = false;
  uint32_t bytes = 0;
};

// The bytes by a full walk of the node table.
uint32_t CountNodeBytes(const Volume& v);
// Walks the table and keeps the result.
void RecountNodeBytes(Volume& v);
// Forgets the bytes: the next estimate walks the table again.
void ForgetNodeBytes(Volume& v);

}  // namespace nor
