#include "CFormattedIO.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct SConversion
{
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;
    char conversion = 0;
    bool suppress = false;
};

// Reads flags, width, precision and length of one conversion after '%'.
const char *ParseConversion(const char *p, SConversion &conv, va_list *args, bool scanning)
{
    if (scanning && *p == '*') {
        conv.suppress = true;
        ++p;
    }
    while (!scanning && *p && std::strchr("-+ #0", *p))
        conv.flags += *p++;
    if (!scanning && *p == '*') {
        conv.width = va_arg(*args, int);
        ++p;
    } else if (std::isdigit(static_cast<unsigned char>(*p))) {
        conv.width = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
    }
    if (!scanning && *p == '.') {
        ++p;
        if (*p == '*') {
            conv.precision = va_arg(*args, int);
            ++p;
        } else {
            conv.precision = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
        }
    }
    while (*p && std::strchr("hlLzj", *p))
        conv.length += *p++;
    conv.conversion = *p ? *p++ : 0;
    return p;
}

std::string ConversionText(const SConversion &conv, const char *length)
{
    std::string text = "%" + conv.flags;
    if (conv.width >= 0)
        text += std::to_string(conv.width);
    if (conv.precision >= 0)
        text += "." + std::to_string(conv.precision);
    return text + length + conv.conversion;
}

template <typename T> void Append(std::string &out, const std::string &conv, T value)
{
    char small[128];
    const int n = std::snprintf(small, sizeof small, conv.c_str(), value);
    if (n < 0)
        return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.append(small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), conv.c_str(), value);
    out.append(big.data(), static_cast<std::size_t>(n));
}

ViStatus FormatOne(const SConversion &conv, va_list *args, std::string &out)
{
    const std::string &len = conv.length;
    switch (conv.conversion) {
    case 'd':
    case 'i':
        if (len == "ll")
            Append(out, ConversionText(conv, "ll"), va_arg(*args, long long));
        else if (len == "l" || len == "z" || len == "j")
            Append(out, ConversionText(conv, "l"), va_arg(*args, long));
        else
            Append(out, ConversionText(conv, len == "h" ? "h" : len == "hh" ? "hh" : ""), va_arg(*args, int));
        return VI_SUCCESS;
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        if (len == "ll")
            Append(out, ConversionText(conv, "ll"), va_arg(*args, unsigned long long));
        else if (len == "l" || len == "z" || len == "j")
            Append(out, ConversionText(conv, "l"), va_arg(*args, unsigned long));
        else
            Append(out, ConversionText(conv, len == "h" ? "h" : len == "hh" ? "hh" : ""), va_arg(*args, unsigned int));
        return VI_SUCCESS;
    case 'c':
        Append(out, ConversionText(conv, ""), va_arg(*args, int));
        return VI_SUCCESS;
    case 's': {
        const char *text = va_arg(*args, const char *);
        Append(out, ConversionText(conv, ""), text ? text : "");
        return VI_SUCCESS;
    }
    case 'f':
    case 'e':
    case 'g':
    case 'E':
    case 'G':
        Append(out, ConversionText(conv, ""), va_arg(*args, double));
        return VI_SUCCESS;
    default:
        return VI_ERROR_INV_FMT;
    }
}

void SkipSpace(const std::string &input, std::size_t &pos)
{
    while (pos < input.size() && std::isspace(static_cast<unsigned char>(input[pos])))
        ++pos;
}

// Stores a string conversion: at most `width` characters and a terminating zero.
void StoreText(const SConversion &conv, va_list *args, const std::string &text)
{
    if (conv.suppress)
        return;
    char *target = va_arg(*args, char *);
    std::memcpy(target, text.data(), text.size());
    target[text.size()] = '\0';
}

bool ScanInteger(const SConversion &conv, const std::string &input, std::size_t &pos, va_list *args)
{
    SkipSpace(input, pos);
    std::size_t limit = input.size() - pos;
    if (conv.width > 0 && static_cast<std::size_t>(conv.width) < limit)
        limit = static_cast<std::size_t>(conv.width);
    const std::string field = input.substr(pos, limit);
    const int base = conv.conversion == 'x' ? 16 : conv.conversion == 'o' ? 8 : 10;
    char *end = nullptr;
    const bool isSigned = conv.conversion == 'd' || conv.conversion == 'i';
    const long long value = isSigned ? std::strtoll(field.c_str(), &end, base)
                                     : static_cast<long long>(std::strtoull(field.c_str(), &end, base));
    if (end == field.c_str())
        return false;
    pos += static_cast<std::size_t>(end - field.c_str());
    if (conv.suppress)
        return true;
    if (conv.length == "ll")
        *va_arg(*args, long long *) = value;
    else if (conv.length == "l")
        *va_arg(*args, long *) = static_cast<long>(value);
    else if (conv.length == "h")
        *va_arg(*args, short *) = static_cast<short>(value);
    else if (conv.length == "hh")
        *va_arg(*args, signed char *) = static_cast<signed char>(value);
    else
        *va_arg(*args, int *) = static_cast<int>(value);
    return true;
}

bool ScanFloat(const SConversion &conv, const std::string &input, std::size_t &pos, va_list *args)
{
    SkipSpace(input, pos);
    const std::string field = input.substr(pos, conv.width > 0 ? static_cast<std::size_t>(conv.width) : 64);
    char *end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    if (end == field.c_str())
        return false;
    pos += static_cast<std::size_t>(end - field.c_str());
    if (conv.suppress)
        return true;
    if (conv.length == "l")
        *va_arg(*args, double *) = value;
    else
        *va_arg(*args, float *) = static_cast<float>(value);
    return true;
}

// One conversion; false when the input does not match (scanning stops there).
bool ScanOne(const SConversion &conv, const std::string &input, std::size_t &pos, va_list *args)
{
    const std::size_t width = conv.width > 0 ? static_cast<std::size_t>(conv.width) : CFormattedIO::kDefaultStringWidth;
    switch (conv.conversion) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'o':
        return ScanInteger(conv, input, pos, args);
    case 'f':
    case 'e':
    case 'g':
        return ScanFloat(conv, input, pos, args);
    case 's': {
        SkipSpace(input, pos);
        std::size_t end = pos;
        while (end < input.size() && !std::isspace(static_cast<unsigned char>(input[end])))
            ++end;
        if (end == pos)
            return false;
        StoreText(conv, args, input.substr(pos, std::min(end - pos, width)));
        pos = end;
        return true;
    }
    case 'c': {
        const std::size_t count = conv.width > 0 ? width : 1;
        if (pos + count > input.size())
            return false;
        if (!conv.suppress)
            std::memcpy(va_arg(*args, char *), input.data() + pos, count);
        pos += count;
        return true;
    }
    case 't':
    case 'T':
        // The rest of the message, its line end included; cut to the width.
        StoreText(conv, args, input.substr(pos, std::min(input.size() - pos, width)));
        pos = input.size();
        return true;
    default:
        return false;
    }
}

bool IsKnownScanConversion(char c)
{
    return c && std::strchr("diuxofegsctT", c);
}

} // namespace

ViStatus CFormattedIO::Format(const char *format, va_list *args, std::string &out)
{
    if (!format)
        return VI_ERROR_INV_FMT;
    for (const char *p = format; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            p += 2;
            continue;
        }
        SConversion conv;
        p = ParseConversion(p + 1, conv, args, false);
        if (const ViStatus status = FormatOne(conv, args, out); status != VI_SUCCESS)
            return status;
    }
    return VI_SUCCESS;
}

ViStatus CFormattedIO::Scan(const char *format, const std::string &input, va_list *args)
{
    if (!format)
        return VI_ERROR_INV_FMT;
    std::size_t pos = 0;
    for (const char *p = format; *p;) {
        if (std::isspace(static_cast<unsigned char>(*p))) {
            SkipSpace(input, pos);
            ++p;
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            const char literal = *p;
            p += *p == '%' ? 2 : 1;
            if (pos >= input.size() || input[pos] != literal)
                return VI_SUCCESS;
            ++pos;
            continue;
        }
        SConversion conv;
        p = ParseConversion(p + 1, conv, args, true);
        if (!IsKnownScanConversion(conv.conversion))
            return VI_ERROR_INV_FMT;
        if (!ScanOne(conv, input, pos, args))
            return VI_SUCCESS;
    }
    return VI_SUCCESS;
}
