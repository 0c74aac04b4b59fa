#include "link/ErrorDetails.h"

namespace svc {

std::int16_t HeadIdErrorDetail = 0;
std::int16_t BidErrorDetail = 0;
std::int16_t UsbIdErrorDetail = 0;
std::int16_t PwSensorErrorDetail = 0;
std::int16_t PixelShiftErrorDetail = 0;
std::int16_t Ieee1394IdErrorDetail = 0;
std::int16_t EepromCopyErrorDetail = 0;

}  // namespace svc
