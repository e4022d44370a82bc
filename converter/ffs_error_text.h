// Plain text of the flash file system's error numbers, for the lines vorel
// prints when a call of the file API or the final commit fails. One text per
// number, all of them in messages.h; an unknown number gets a text that names it.
#pragma once

#include <string>

namespace vorel {

std::string FfsErrorText(int error);

}  // namespace vorel
