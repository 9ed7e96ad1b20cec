// The device steps of the three routes, through the six exported functions,
// each putting what it learnt into the route's reading document.
#pragma once

#include <cstdint>

#include "service/reading_document.h"

namespace service {

// Connects and reads the whole log, then puts "DeviceInfo", so that it shows
// the serial number that this read delivered. Throws on a failed step;
// returns the number of points read.
std::int32_t ReadLogWithDeviceInfo(ReadingDocument& document);
// ReadLogWithDeviceInfo, then "RadiationPoints"; throws StatusNoPoints for an empty log.
void PutReadout(ReadingDocument& document);
// Connects and erases the device's log. Throws on a failed step.
void EraseLog();

}  // namespace service
