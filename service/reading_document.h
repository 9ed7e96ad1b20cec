// The builders that drive the device and fill one request's reading document.
#pragma once

#include <cstdint>
#include <string>

#include "device/export.h"
#include "device/point_log.h"
#include "service/device_status.h"
#include "service/document_tree.h"

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
// Appends "RadiationPoints" with the first `count` points of `log`.
void PutPoints(ReadingDocument& document, const device::PointLog& log, std::size_t count);
// Connects and erases the device's log. Throws on a failed step.
void EraseLog();

// The value texts: plain decimal integers, and %.16g for radiation values.
std::string IntegerText(long long value);
std::string RadiationText(double value);
// RadiationText(DecodeRadiation(word)), from a table made once: a word has
// only 3 x 1024 distinct values.
const std::string& RadiationWordText(std::uint16_t word);
// The "period" value for a logging-period code; -1 for unknown codes.
int PeriodFromCode(std::uint8_t code);
