#!/usr/bin/env bash
# Checks that a binary's dynamic symbol table defines exactly the six device
# functions of ours. Set aside: the C++ runtime's own symbols that an executable
# must re-export (copy relocations such as std::cerr, shared template
# instances), the linker's markers, and sanitizer runtimes.
set -euo pipefail
binary=$1
expected="GetDeviceModel GetDeviceSerialNumber GetPoint UsbConnect UsbErase UsbReadAll"
actual=$(nm -D --defined-only "$binary" | awk '{print $3}' |
  while read -r name; do
    case "$name" in *@GLIBC* | *@CXXABI*) continue ;; esac  # versioned: the runtime's own
    demangled=$(c++filt "$name")
    case "$demangled" in
      std::* | *" std::"* | __gnu_cxx::* | *" __gnu_cxx::"*) continue ;;
      _init | _fini | _edata | _end | __bss_start | _IO_stdin_used | __data_start | data_start | __dso_handle) continue ;;
      __asan* | __ubsan* | __sanitizer* | __lsan* | __interceptor* | __sancov*) continue ;;
    esac
    echo "$name"
  done | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "expected: $expected"
  echo "actual:   $actual"
  exit 1
fi
echo "exports ok: $actual"
