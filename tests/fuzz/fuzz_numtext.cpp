// libFuzzer target: any text through the number rules. Crashes, sanitizer
// reports and broken promises (a shown number that does not read back as
// itself) are failures.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "numtext.h"
#include "params.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Reading reading = ReadText(text);
    // One pass and the separate functions agree.
    if (reading.numeric != IsNumeric(text)) std::abort();
    const double value = ReadNumber(text);
    if (!(value == reading.value || (std::isnan(value) && std::isnan(reading.value)))) std::abort();
    for (std::size_t i = 0; i < kInputCount; ++i) (void)IsAcceptableInputText(i, text);

    // The box form reads back as the value it shows, and passes the numeric test.
    const std::string shown = FormatBoxText(value);
    if (std::isfinite(value)) {
        if (!IsNumeric(shown)) std::abort();
        if (FormatBoxText(ReadNumber(shown)) != shown) std::abort();
    }
    const std::string printed = FormatPrint(value);
    if (printed.size() < 3 || printed.back() != ' ') std::abort();
    (void)TruncateTowardZero(value);
    return 0;
}
