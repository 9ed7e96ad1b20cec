#!/usr/bin/env bash
# Checks that a binary's dynamic symbol table defines exactly the six device
# functions. With sanitizers, the runtime's own symbols are set aside.
set -euo pipefail
binary=$1
expected="GetDeviceModel GetDeviceSerialNumber GetPoint UsbConnect UsbErase UsbReadAll"
actual=$(nm -D --defined-only "$binary" | awk '{print $3}' | sed 's/@.*//' |
  grep -v -E '^(__(asan|ubsan|sanitizer|lsan|interceptor|sancov)|_(_)?(end|edata|bss_start|init|fini)$)' |
  grep -v -E '^(_init|_fini|_edata|_end|__bss_start|_IO_stdin_used|__data_start|data_start|__dso_handle)$' |
  sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "expected: $expected"
  echo "actual:   $actual"
  exit 1
fi
echo "exports ok: $actual"
