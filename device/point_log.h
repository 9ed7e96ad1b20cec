// The in-memory copy of the device's log, and the lookup of one point in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/export.h"
#include "device/radiation_point.h"

namespace device {

class PointLog {
 public:
  void clear() { points_.clear(); }
  void append(const Report& answer) { points_.emplace_back(answer); }
  std::size_t size() const { return points_.size(); }
  const RadiationPoint& point(std::size_t index) const { return points_[index]; }

 private:
  std::vector<RadiationPoint> points_;
};

// Fills the outputs from point `index` and returns UsbOk, or returns
// UsbBadIndex and writes nothing. Null outputs are skipped.
UsbResult LookUpPoint(const PointLog& log, std::int32_t index, std::uint8_t* id,
                      std::uint32_t* time, double* radiation, std::uint8_t* period_code);

}  // namespace device
