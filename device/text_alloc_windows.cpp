#include <objbase.h>

#include "device/text_alloc.h"

namespace device {

// The caller releases the block with CoTaskMemFree.
char* AllocateCallerText(std::size_t size) {
  return static_cast<char*>(CoTaskMemAlloc(size));
}

}  // namespace device
