#include "engine/MirrorMemory.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <unistd.h>
#include <utility>

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
    // Written beside and renamed over, so a reader never sees half a file.
    const std::string partial = m_file + "." + std::to_string(::getpid());
    {
        std::ofstream out(partial, std::ios::trunc);
        for (const auto& [each, value] : m_ticks) {
            out << each << ' ' << value << '\n';
        }
        if (!out.flush()) {
            std::remove(partial.c_str());
            return;
        }
    }
    if (std::rename(partial.c_str(), m_file.c_str()) != 0) {
        std::remove(partial.c_str());
    }
}
