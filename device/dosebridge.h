/*
 * dosebridge.h - drive the radiation dosimeter (USB vendor 0x03EB, product 0x5603)
 * without HTTP, through the six functions that libdosebridge.so and the
 * dosebridge executable export.
 *
 * Calling order:
 *   1. UsbConnect(). Go on only when it returns UsbOk.
 *   2. Either UsbReadAll(&count) or UsbErase(). Both close the device whatever
 *      their result, so the next read or erase starts again at step 1.
 *   3. After a successful UsbReadAll: GetPoint(i, ...) for i = 0 .. count - 1,
 *      GetDeviceSerialNumber() and GetDeviceModel().
 * GetPoint, GetDeviceSerialNumber and GetDeviceModel need no open device and may
 * be called at any time; they show what the last read left behind.
 *
 * Threads: no function takes a lock. All calls share one process-wide device
 * state, so the caller must serialise them (one call at a time, process-wide).
 *
 * Texts: GetDeviceSerialNumber and GetDeviceModel return a new block that the
 * caller owns and releases with free() (CoTaskMemFree() on Windows). They return
 * NULL when the block cannot be allocated.
 */
#ifndef DOSEBRIDGE_H
#define DOSEBRIDGE_H

#include <stdint.h>

#ifndef DOSEBRIDGE_API
#define DOSEBRIDGE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result of every device operation. A transfer fails when hidapi reports -1;
 * an identify or erase send that moves no bytes fails too, as it cannot have
 * reached the device. A read request that moves no bytes is not a failure. */
typedef int32_t UsbResult;
enum {
  UsbOk = 1,          /* the operation succeeded */
  UsbIoError = 100,   /* a transfer failed, or the device did not identify itself */
  UsbNoDevice = 200,  /* no dosimeter found, or the device is not connected (call UsbConnect) */
  UsbSendError = 300, /* UsbReadAll only: the first request could not be sent */
  UsbBadIndex = 400   /* GetPoint only: no point at that index */
};

/* Opens the first dosimeter found and checks that it identifies itself.
 * Returns UsbOk (device open), UsbIoError (device closed again) or UsbNoDevice.
 * A device left open by an earlier UsbConnect is closed first. */
DOSEBRIDGE_API int32_t UsbConnect(void);

/* Reads the device's serial number and its whole log (entries 0 to 179) into
 * the process-wide point log, then closes the device.
 * Returns UsbOk, UsbIoError, UsbNoDevice (no UsbConnect before) or UsbSendError.
 * *count receives the number of points on UsbOk and 0 otherwise; count may be
 * NULL. After a failure part-way through the log, the points read so far stay
 * available to GetPoint although *count is 0. */
DOSEBRIDGE_API int32_t UsbReadAll(int32_t* count);

/* Fetches point `index` (0-based) of the last read.
 * Returns UsbOk, or UsbBadIndex with no output written. id is the device's raw
 * id byte, time its 32-bit time stamp, radiation the decoded value and
 * periodCode the raw logging-period code. Any output pointer may be NULL. */
DOSEBRIDGE_API int32_t GetPoint(int32_t index, uint8_t* id, uint32_t* time, double* radiation,
                                uint8_t* periodCode);

/* The serial number of the last read as 14 lowercase hex digits
 * ("00000000000000" before any read), in a new 22-byte block. */
DOSEBRIDGE_API char* GetDeviceSerialNumber(void);

/* The model as 4 lowercase hex digits ("0000" before the first successful
 * UsbConnect, then "1212"), in a new 13-byte block. */
DOSEBRIDGE_API char* GetDeviceModel(void);

/* Sends the erase command and closes the device. Returns UsbOk, UsbIoError
 * (the send failed or moved no bytes) or UsbNoDevice (no UsbConnect before).
 * The point log of the last read is kept. */
DOSEBRIDGE_API int32_t UsbErase(void);

#ifdef __cplusplus
}
#endif

#endif /* DOSEBRIDGE_H */
