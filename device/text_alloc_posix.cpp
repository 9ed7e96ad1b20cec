#include <cstdlib>

#include "device/text_alloc.h"

namespace device {

char* AllocateCallerText(std::size_t size) {
  return static_cast<char*>(std::malloc(size));
}

}  // namespace device
