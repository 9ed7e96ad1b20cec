// The builders that drive the device and fill one request's reading document.
#pragma once

#include <boost/property_tree/ptree.hpp>
#include <cstdint>

#include "device/export.h"
#include "service/device_status.h"

using ReadingDocument = boost::property_tree::ptree;

// Returns on UsbOk; otherwise throws the DeviceStatus for the result, or
// `step` for a value that is no UsbResult.
void CheckUsbResult(UsbResult result, DeviceStatus step);

// Appends "Status" with the code as decimal text.
void PutStatus(ReadingDocument& document, DeviceStatus status);
// Appends "DeviceInfo" with the model and serial number of the device link as it is now.
void PutDeviceInfo(ReadingDocument& document);
// Connects and reads the whole log, then appends "DeviceInfo", so that it shows
// the serial number that this read delivered. Throws on a failed step;
// returns the number of points read.
std::int32_t ReadLogWithDeviceInfo(ReadingDocument& document);
// ReadLogWithDeviceInfo, then "RadiationPoints"; throws StatusNoPoints for an empty log.
void PutReadout(ReadingDocument& document);
// Connects and erases the device's log. Throws on a failed step.
void EraseLog();

// The value texts: plain decimal integers, and %.16g for radiation values.
std::string IntegerText(long long value);
std::string RadiationText(double value);
// The "period" value for a logging-period code; -1 for unknown codes.
int PeriodFromCode(std::uint8_t code);
