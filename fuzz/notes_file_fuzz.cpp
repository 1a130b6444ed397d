// libFuzzer entry point for the notes document loader.
#include "document_round_trip.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pindle::fuzz::checkDocumentRoundTrip(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
