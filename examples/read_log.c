/* Reads the dosimeter's whole log through libdosebridge and prints it as CSV.
 * Build: cc read_log.c -o read_log -ldosebridge */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "dosebridge.h"

int main(void) {
  int32_t result = UsbConnect();
  if (result != UsbOk) {
    fprintf(stderr, "connect failed: %d%s\n", result,
            result == UsbNoDevice ? " (no dosimeter, or no permission)" : "");
    return 1;
  }
  int32_t count = 0;
  result = UsbReadAll(&count);
  if (result != UsbOk) {
    fprintf(stderr, "read failed: %d\n", result);
    return 1;
  }

  char* serial = GetDeviceSerialNumber();
  char* model = GetDeviceModel();
  if (!serial || !model) {
    fprintf(stderr, "out of memory\n");
    free(serial);
    free(model);
    return 1;
  }
  printf("# model %s, serial %s, %d points\n", model, serial, count);
  free(serial);
  free(model);

  printf("id,time,radiation,period_code\n");
  for (int32_t i = 0; i < count; ++i) {
    uint8_t id = 0, period_code = 0;
    uint32_t time = 0;
    double radiation = 0;
    if (GetPoint(i, &id, &time, &radiation, &period_code) != UsbOk) break;
    printf("%u,%u,%.16g,%u\n", id, time, radiation, period_code);
  }
  return 0;
}
