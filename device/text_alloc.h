// Allocator for the texts that the exported functions hand to their caller.
#pragma once

#include <cstddef>

namespace device {

// Returns a block of `size` bytes that the caller releases with the platform's
// matching function (free on POSIX), or nullptr when none is available.
char* AllocateCallerText(std::size_t size);

}  // namespace device
