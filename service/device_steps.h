// The device steps of the three routes, through the six exported functions,
// each putting what it learnt into the route's reading document.
#pragma once

#include <cstdint>

#include "device/export.h"
#include "service/device_status.h"
#include "service/reading_document.h"

namespace service {

// Returns on UsbOk; otherwise throws the DeviceStatus for the result, or
// `step` for a value that is no UsbResult.
void CheckUsbResult(UsbResult result, DeviceStatus step);

// Connects and reads the whole log, then puts "DeviceInfo", so that it shows
// the serial number that this read delivered. Throws on a failed step;
// returns the number of points read.
std::int32_t ReadLogWithDeviceInfo(ReadingDocument& document);
// ReadLogWithDeviceInfo, then "RadiationPoints"; throws StatusNoPoints for an empty log.
void PutReadout(ReadingDocument& document);
// Connects and erases the device's log. Throws on a failed step.
void EraseLog();

}  // namespace service
