#include "config/AttributeText.h"

namespace config {

namespace {

constexpr char32_t kEscapeBase = 0xF700;
constexpr char32_t kEscapeLast = 0xF7FF;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of `text` and its
// code point, or 0 when the bytes there do not form one.
std::size_t decodeOne(std::string_view text, char32_t& codePoint) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;   // bounds of the second byte, which rule out
    unsigned char high = 0xBF;  // overlong forms, surrogates and values above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    char32_t value = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(byte(i))) {
            return 0;
        }
        value = (value << 6) | (byte(i) & 0x3F);
    }
    codePoint = value;
    return length;
}

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendEscape(std::string& out, unsigned char byte) {
    const char32_t c = kEscapeBase + byte;
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
}

}  // namespace

std::string encodeAttributeText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t c = 0;
        std::size_t length = decodeOne(bytes, c);
        if (length == 0) {
            appendEscape(out, static_cast<unsigned char>(bytes.front()));
            length = 1;
        } else if (!isXmlChar(c) || (c >= kEscapeBase && c <= kEscapeLast)) {
            for (std::size_t i = 0; i < length; ++i) {
                appendEscape(out, static_cast<unsigned char>(bytes[i]));
            }
        } else {
            out.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return out;
}

std::string decodeAttributeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        // U+F701 to U+F7FF are EF 9C 81 to EF 9F BF.
        if (i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xEF) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            const auto third = static_cast<unsigned char>(text[i + 2]);
            if (second >= 0x9C && second <= 0x9F && isContinuation(third)) {
                const char32_t c = 0xF000 | ((second & 0x3F) << 6) | (third & 0x3F);
                if (c > kEscapeBase) {
                    out += static_cast<char>(c - kEscapeBase);
                    i += 3;
                    continue;
                }
            }
        }
        out += text[i];
        ++i;
    }
    return out;
}

}  // namespace config
