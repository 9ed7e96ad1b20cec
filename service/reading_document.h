// One reading document, written straight to its JSON text member by member.
#pragma once

#include <cstddef>
#include <string>

#include "device/device_protocol.h"
#include "device/point_log.h"
#include "service/device_status.h"

namespace service {

// Appends the document to a string that the caller owns, in the one order
// clients know: "DeviceInfo", then "RadiationPoints", then "Status", each at
// most once and "Status" always, last. Objects and arrays open on their own
// line below their key, members are indented by four spaces per level, every
// value is a string, and the text ends with a line feed. The document is
// complete once PutStatus has returned. A member out of order throws
// std::logic_error and writes nothing.
class ReadingDocument {
 public:
  // The document starts at the end of `out`, which must outlive this writer.
  explicit ReadingDocument(std::string& out);

  // "DeviceInfo" with the model and serial number the link holds now.
  void PutDeviceInfo(const device::DeviceLink& link);
  // "RadiationPoints" with every point of `log`, in log order.
  void PutPoints(const device::PointLog& log);
  // "Status" with the code as decimal text; closes the document.
  void PutStatus(DeviceStatus status);

  // An upper bound of a document's size with up to `points` points, to size
  // the output string once.
  static std::size_t MaxBytes(std::size_t points);

 private:
  enum class Stage { kOpen, kDeviceInfo, kPoints, kClosed };

  // Checks that a member of `stage` may follow, and starts it.
  void BeginMember(Stage stage);

  std::string& out_;
  Stage stage_ = Stage::kOpen;
};

}  // namespace service
