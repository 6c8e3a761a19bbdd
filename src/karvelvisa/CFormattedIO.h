#pragma once
// The formatted I/O of viPrintf, viScanf and viQueryf: printf-style output
// and the scanf-style input the tool uses (%t, %ld,%t, %d, %s, ...).
//
// Every read into a caller buffer is bounded: %s and %t copy at most their
// field width (plus the terminating zero), or kDefaultStringWidth characters
// when the format gives no width. Longer input is cut, never overrun.

#include "KarvelVisa.h"

#include <cstdarg>
#include <string>

class CFormattedIO
{
public:
    static constexpr std::size_t kDefaultStringWidth = 1023;

    // Formats `format`, taking the arguments from `args` in order.
    static ViStatus Format(const char *format, va_list *args, std::string &out);
    // Scans one received message with `format`, storing through the pointers in `args`.
    static ViStatus Scan(const char *format, const std::string &input, va_list *args);
};
