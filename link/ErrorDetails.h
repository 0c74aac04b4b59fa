// Detail codes of the checking features. A feature fills its variable just
// before it returns its group result code; only ReportErrorCode reads them.
#pragma once

#include <cstdint>

namespace svc {

extern std::int16_t HeadIdErrorDetail;      // group 0x5000
extern std::int16_t BidErrorDetail;         // group 0x7000
extern std::int16_t UsbIdErrorDetail;       // group 0x8000
extern std::int16_t PwSensorErrorDetail;    // group 0xF010
extern std::int16_t PixelShiftErrorDetail;  // group 0xF020
extern std::int16_t Ieee1394IdErrorDetail;  // group 0xF030
extern std::int16_t EepromCopyErrorDetail;  // group 0xF040

}  // namespace svc
