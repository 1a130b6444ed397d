#pragma once

#include <string_view>

namespace pindle::fuzz {

// The loader's contract on any input: it never crashes, and every document it accepts survives
// writing and reading back unchanged (and writing again gives the same bytes). Aborts on a breach,
// so a fuzzer reports it as a finding.
void checkDocumentRoundTrip(std::string_view bytes);

} // namespace pindle::fuzz
