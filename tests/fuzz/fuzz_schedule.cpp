// libFuzzer target: any bytes as a beam schedule, read in each encoding
// mode and computed; nothing may crash or trip a sanitizer.
#include <cstdint>
#include <cstdio>
#include <string>

#include "schedule.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::FILE* const out = std::fopen("/dev/null", "wb");
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (TextEncoding encoding : {TextEncoding::Auto, TextEncoding::Gb18030}) {
        // (fmemopen refuses an empty buffer; one byte more that it never reads)
        std::FILE* in = fmemopen(bytes.data(), size > 0 ? size : 1, "rb");
        if (!in || !out) std::abort();
        if (size == 0) std::fgetc(in);
        ScheduleOptions options;
        options.encoding = encoding;
        std::string message;
        const ScheduleExit exit = RunSchedule(in, out, options, message);
        if (exit == kScheduleUsageError && message.empty()) std::abort();  // a refusal always says why
        std::fclose(in);
    }
    return 0;
}
