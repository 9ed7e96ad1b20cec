/* A Windows client of dosebridge.dll: loads it at run time, drives the six
 * functions in the documented order and frees the texts with CoTaskMemFree.
 * Prints what it read; exits 0 only if every step went as documented. */
#include <objbase.h>
#include <stdint.h>
#include <stdio.h>
#include <windows.h>

typedef int32_t(__cdecl* ConnectFn)(void);
typedef int32_t(__cdecl* ReadAllFn)(int32_t*);
typedef int32_t(__cdecl* GetPointFn)(int32_t, uint8_t*, uint32_t*, double*, uint8_t*);
typedef char*(__cdecl* TextFn)(void);
typedef int32_t(__cdecl* EraseFn)(void);

static FARPROC Load(HMODULE library, const char* name) {
  FARPROC address = GetProcAddress(library, name);
  if (!address) fprintf(stderr, "missing export %s\n", name);
  return address;
}

int main(void) {
  HMODULE library = LoadLibraryA("dosebridge.dll");
  if (!library) {
    fprintf(stderr, "LoadLibrary(dosebridge.dll) failed: %lu\n", GetLastError());
    return 1;
  }
  ConnectFn connect = (ConnectFn)(void (*)(void))Load(library, "UsbConnect");
  ReadAllFn read_all = (ReadAllFn)(void (*)(void))Load(library, "UsbReadAll");
  GetPointFn get_point = (GetPointFn)(void (*)(void))Load(library, "GetPoint");
  TextFn serial = (TextFn)(void (*)(void))Load(library, "GetDeviceSerialNumber");
  TextFn model = (TextFn)(void (*)(void))Load(library, "GetDeviceModel");
  EraseFn erase = (EraseFn)(void (*)(void))Load(library, "UsbErase");
  if (!connect || !read_all || !get_point || !serial || !model || !erase) return 1;

  int32_t count = -1;
  if (connect() != 1 || read_all(&count) != 1) {
    fprintf(stderr, "connect or read failed\n");
    return 1;
  }
  char* serial_text = serial();
  char* model_text = model();
  printf("model %s serial %s points %d\n", model_text, serial_text, count);
  CoTaskMemFree(serial_text);
  CoTaskMemFree(model_text);
  for (int32_t i = 0; i < count; ++i) {
    uint8_t id = 0, period = 0;
    uint32_t time = 0;
    double radiation = 0;
    if (get_point(i, &id, &time, &radiation, &period) != 1) return 1;
    printf("%u %u %.16g %u\n", id, time, radiation, period);
  }
  uint8_t id = 0;
  if (get_point(count, &id, NULL, NULL, NULL) != 400) return 1;
  if (read_all(&count) != 200 || count != 0) return 1; /* the read closed the device */
  if (connect() != 1 || erase() != 1 || erase() != 200) return 1;
  printf("erase ok\n");
  FreeLibrary(library);
  return 0;
}
