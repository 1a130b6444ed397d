#include "document_round_trip.h"

#include "notes/notes_file.h"

#include <cstdio>
#include <cstdlib>

namespace pindle::fuzz {

namespace {

[[noreturn]] void breach(const char* what) {
    std::fprintf(stderr, "document round trip broken: %s\n", what);
    std::abort();
}

} // namespace

void checkDocumentRoundTrip(std::string_view bytes) {
    const auto payload = decodePayload(bytes);
    if (!payload) {
        return;
    }
    const std::string written = encodePayload(*payload);
    const auto reread = decodePayload(written);
    if (!reread) {
        breach("an accepted document was written in a form that cannot be read");
    }
    if (reread->notes != payload->notes) {
        breach("notes changed on the way through the file");
    }
    if (reread->activeId != payload->activeId) {
        breach("the active id changed on the way through the file");
    }
    if (encodePayload(*reread) != written) {
        breach("writing is not stable");
    }
}

} // namespace pindle::fuzz
