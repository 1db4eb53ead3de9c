#include "platform/Text.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>
#include <cstdio>

namespace platform {

namespace {

// The C.UTF-8 locale for case mapping, made once; glibc ships it always.
locale_t utf8Locale() {
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

// Decodes one UTF-8 sequence at `s[i]`; returns its length, or 0 when the
// bytes there are not a valid, shortest-form sequence.
std::size_t decode(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::string lowerCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const locale_t loc = utf8Locale();
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(b >= 'A' && b <= 'Z' ? static_cast<char>(b + ('a' - 'A'))
                                               : static_cast<char>(b));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = decode(text, i, cp);
        if (len == 0) {
            out.push_back(text[i]);  // not UTF-8: keep the byte
            ++i;
            continue;
        }
        if (loc != static_cast<locale_t>(nullptr)) {
            const auto lower = towlower_l(static_cast<wint_t>(cp), loc);
            encode(static_cast<char32_t>(lower), out);
        } else {
            out.append(text.substr(i, len));
        }
        i += len;
    }
    return out;
}

std::string escapeControl(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (b < 0x20 || b == 0x7F) {
                    char buf[5];
                    std::snprintf(buf, sizeof buf, "\\x%02X", b);
                    out += buf;
                } else {
                    out.push_back(c);
                }
        }
    }
    return out;
}

}  // namespace platform
