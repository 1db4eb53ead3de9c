#include "model/CopyPolicy.h"

#include <charconv>

std::optional<std::uint32_t> CopyPolicy::parseFlags(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    // from_chars takes no sign for unsigned numbers; a "+" or "-" stops it.
    std::uint32_t word = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, word, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return word;
}

void CopyPolicy::setCopyOnlyIfMainNewer(bool on) {
    set(CopyOnlyIfMainNewer, on);
    if (on) {
        set(CopyIfTimeDiffers, true);
    }
}

void CopyPolicy::setDeleteMirrorOnly(bool on) {
    set(DeleteMirrorOnly, on);
    if (!on) {
        set(DeleteToRecycleBin, false);
    }
}

void CopyPolicy::setDeleteToRecycleBin(bool on) {
    set(DeleteToRecycleBin, on);
    if (on) {
        set(DeleteMirrorOnly, true);
    }
}

void CopyPolicy::resetToDefault() {
    m_flags = 0;
    setCopyIfSizeDiffers(true);
    setCopyOnlyIfMainNewer(true);
    setDeleteToRecycleBin(true);
    setCopyNewFiles(true);
}
