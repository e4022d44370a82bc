// The volume request dispatcher: the request handler of every volume. It maps
// each command code to a named function and applies the dispatch rules.
#pragma once

#include "ffs/ffs.h"

std::intptr_t ffs_dispatch(FileControlBlock* block, int command, std::intptr_t a1, std::intptr_t a2,
                           std::intptr_t a3, std::intptr_t a4, std::intptr_t a5);
