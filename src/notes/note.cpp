#include "note.h"

#include "palette.h"
#include "scheduler.h"
#include "text.h"

#include <sys/random.h>

#include <array>
#include <cstdint>
#include <random>

namespace pindle {

namespace {

void fillRandom(std::array<std::uint8_t, 16>& bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n <= 0) {
            break;
        }
        filled += static_cast<std::size_t>(n);
    }
    if (filled < bytes.size()) {
        // getrandom is unavailable (very old kernel or seccomp): fall back to the library's source.
        std::random_device device;
        for (auto& byte : bytes) {
            byte = static_cast<std::uint8_t>(device());
        }
    }
}

} // namespace

std::string makeUuid() {
    std::array<std::uint8_t, 16> bytes{};
    fillRandom(bytes);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0FU) | 0x40U); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3FU) | 0x80U); // RFC 4122 variant
    constexpr char kDigits[] = "0123456789abcdef";
    std::string uuid;
    uuid.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            uuid += '-';
        }
        uuid += kDigits[bytes[i] >> 4U];
        uuid += kDigits[bytes[i] & 0x0FU];
    }
    return uuid;
}

Note Note::make(const std::vector<Note>& existing, const Clock& clock) {
    const double now = wholeMillisecondsSinceEpoch(clock.now());
    return Note{makeUuid(), std::string(Palette::next(existing)), std::string(), now, now};
}

std::string Note::firstLine() const {
    return text::firstLine(text);
}

bool Note::isBlank() const {
    return text::isBlank(text);
}

bool operator==(const Note& a, const Note& b) {
    return a.createdAt == b.createdAt && a.updatedAt == b.updatedAt && text::canonicallyEqual(a.id, b.id) &&
           text::canonicallyEqual(a.color, b.color) && text::canonicallyEqual(a.text, b.text);
}

} // namespace pindle
