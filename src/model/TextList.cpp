#include "model/TextList.h"

std::vector<std::string> splitList(std::string_view text, char separator) {
    std::vector<std::string> tokens;
    std::string current;
    for (const char c : text) {
        if (c == separator) {
            tokens.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) {
        tokens.push_back(std::move(current));
    }
    return tokens;
}

std::string normalizeList(std::string_view text) {
    std::string result;
    for (const std::string& token : splitList(text, ';')) {
        if (!token.empty()) {
            result += token;
            result += ';';
        }
    }
    return result;
}
