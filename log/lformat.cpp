#include "log/LogText.h"
#include "log/lprintf.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kFlags = "-+ #0";
constexpr const char* kLengthModifiers = "hljztL";
constexpr const char* kNullText = "(null)";

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Appends one value formatted by `directive`, a single conversion with its flags, width, precision
// and length.
template <typename Value>
void append(std::string& out, const std::string& directive, Value value) {
    const int length = std::snprintf(nullptr, 0, directive.c_str(), value);
    if (length <= 0) {
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(length) + 1);
    std::snprintf(&out[at], static_cast<std::size_t>(length) + 1, directive.c_str(), value);
    out.resize(at + static_cast<std::size_t>(length));
}

void appendSigned(std::string& out, const std::string& directive, const std::string& length,
                  std::va_list& arguments) {
    if (length == "l") {
        append(out, directive, va_arg(arguments, long));
    } else if (length == "ll") {
        append(out, directive, va_arg(arguments, long long));
    } else if (length == "j") {
        append(out, directive, va_arg(arguments, std::intmax_t));
    } else if (length == "z" || length == "t") {
        append(out, directive, va_arg(arguments, std::ptrdiff_t));
    } else {
        append(out, directive, va_arg(arguments, int));
    }
}

void appendUnsigned(std::string& out, const std::string& directive, const std::string& length,
                    std::va_list& arguments) {
    if (length == "l") {
        append(out, directive, va_arg(arguments, unsigned long));
    } else if (length == "ll") {
        append(out, directive, va_arg(arguments, unsigned long long));
    } else if (length == "j") {
        append(out, directive, va_arg(arguments, std::uintmax_t));
    } else if (length == "z" || length == "t") {
        append(out, directive, va_arg(arguments, std::size_t));
    } else {
        append(out, directive, va_arg(arguments, unsigned));
    }
}

// A '*' takes its number from the arguments; a negative precision counts as none, as in printf.
void readWidthAndPrecision(const char*& p, std::string& directive, std::va_list& arguments) {
    if (*p == '*') {
        directive += std::to_string(va_arg(arguments, int));
        ++p;
    }
    while (isDigit(*p)) {
        directive += *p++;
    }
    if (*p != '.') {
        return;
    }
    ++p;
    if (*p == '*') {
        const int precision = va_arg(arguments, int);
        ++p;
        if (precision >= 0) {
            directive += "." + std::to_string(precision);
        }
        return;
    }
    directive += '.';
    while (isDigit(*p)) {
        directive += *p++;
    }
}

// Appends one conversion read from its argument; false for a conversion that is not offered.
bool appendConversion(std::string& out, const std::string& directive, const std::string& length,
                      char conversion, std::va_list& rest) {
    switch (conversion) {
    case '%':
        out += '%';
        return true;
    case 's': {
        const char* text = va_arg(rest, const char*);
        append(out, directive + "s", printable(text == nullptr ? kNullText : text).c_str());
        return true;
    }
    case 'c':
        append(out, directive + "s",
               printable(std::string(1, static_cast<char>(va_arg(rest, int)))).c_str());
        return true;
    case 'd':
    case 'i':
        appendSigned(out, directive + length + conversion, length, rest);
        return true;
    case 'o':
    case 'u':
    case 'x':
    case 'X':
        appendUnsigned(out, directive + length + conversion, length, rest);
        return true;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        if (length == "L") {
            append(out, directive + length + conversion, va_arg(rest, long double));
        } else {
            append(out, directive + conversion, va_arg(rest, double));
        }
        return true;
    case 'p':
        append(out, directive + conversion, va_arg(rest, void*));
        return true;
    default:
        return false;
    }
}

} // namespace

std::string lformat(const char* format, std::va_list arguments) {
    std::string out;
    if (format == nullptr) {
        return out;
    }
    std::va_list rest;
    va_copy(rest, arguments);
    for (const char* p = format; *p != '\0';) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char* const start = p++;
        std::string directive = "%";
        while (*p != '\0' && std::strchr(kFlags, *p) != nullptr) {
            directive += *p++;
        }
        readWidthAndPrecision(p, directive, rest);
        const char* const lengthStart = p;
        while (*p != '\0' && std::strchr(kLengthModifiers, *p) != nullptr) {
            ++p;
        }
        const std::string length(lengthStart, p);
        const char conversion = *p;
        if (conversion != '\0') {
            ++p;
        }
        if (!appendConversion(out, directive, length, conversion, rest)) {
            // Its argument's size is unknown, so the rest is no longer read and stands as
            // written.
            out += start;
            p = start + std::strlen(start);
        }
    }
    va_end(rest);
    return out;
}
