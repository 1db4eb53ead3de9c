#include "engine/MirrorMemory.h"

#include <fstream>
#include <sstream>
#include <utility>

#include "platform/AtomicFile.h"

MirrorMemory::MirrorMemory(std::string file) : m_file(std::move(file)) {
    std::ifstream in(m_file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        std::uint64_t ticks = 0;
        if (fields >> key >> ticks && ticks > 0) {
            m_ticks[key] = ticks;
        }
    }
}

std::optional<std::uint64_t> MirrorMemory::find(const std::string& key) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_ticks.find(key);
    if (it == m_ticks.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MirrorMemory::remember(const std::string& key, std::uint64_t ticks) {
    // Keys hold no blanks (a type and a hexadecimal number), so the line
    // format stays readable.
    if (key.empty() || key.find_first_of(" \t\n") != std::string::npos || ticks == 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    auto [it, inserted] = m_ticks.try_emplace(key, ticks);
    if (!inserted && it->second == ticks) {
        return;
    }
    it->second = ticks;
    if (m_file.empty()) {
        return;
    }
    // Replaced whole, so a reader never sees half a file.
    std::ostringstream text;
    for (const auto& [each, value] : m_ticks) {
        text << each << ' ' << value << '\n';
    }
    static_cast<void>(platform::replaceFile(m_file, text.str()));
}
