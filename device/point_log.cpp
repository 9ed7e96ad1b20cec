#include "device/point_log.h"

namespace device {

UsbResult LookUpPoint(const PointLog& log, std::int32_t index, std::uint8_t* id,
                      std::uint32_t* time, double* radiation, std::uint8_t* period_code) {
  if (index < 0 || static_cast<std::size_t>(index) >= log.size()) {
    return UsbBadIndex;
  }
  const RadiationPoint& point = log.point(static_cast<std::size_t>(index));
  if (point.presence_flag() == 0) {
    return UsbBadIndex;
  }
  if (id) *id = point.id();
  if (time) *time = point.time();
  if (radiation) *radiation = DecodeRadiation(point.radiation_word());
  if (period_code) *period_code = point.period_code();
  return UsbOk;
}

}  // namespace device
