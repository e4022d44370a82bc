// The request handler of the name-space root "/": its listing names the
// mounted volumes in mount order; its status is a directory with mode 0x41C0.
#pragma once

#include "ffs/ffs.h"

std::intptr_t ffs_root_handler(FileControlBlock* block, int command, std::intptr_t a1,
                               std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
                               std::intptr_t a5);
