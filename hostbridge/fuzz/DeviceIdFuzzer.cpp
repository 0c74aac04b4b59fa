// Feeds arbitrary bytes to the device-ID parser. Whatever it accepts must
// hold no control characters and must have been bounded by its prefix.
#include "hostbridge/DeviceId.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const hb::DeviceIdParse parse = hb::ParseDeviceId(raw);
    if (!parse.ok()) return 0;
    const std::size_t declared = (std::size_t{data[0]} << 8) | data[1];
    for (const std::string* field :
         {&parse.id.manufacturer, &parse.id.model, &parse.id.deviceClass, &parse.id.commandSet}) {
        if (field->size() + 2 > declared) std::abort();  // a field longer than the ID it came from
        for (const char c : *field) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
        }
    }
    (void)parse.id.AnnouncesPacketProtocol();
    return 0;
}
