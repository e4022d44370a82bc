// Plain text of the flash file system's error numbers, for the lines vorel
// prints when a call of the file API fails. One text per number; an unknown
// number gets a text that names it.
#pragma once

#include <string>

namespace vorel {

std::string FfsErrorText(int error);

}  // namespace vorel
