#pragma once

#include <string>
#include <string_view>

// Paths are byte strings: every byte a Linux file name may hold passes through
// unchanged. A folder root carries a trailing separator; the full path of an
// entry never ends with one.
namespace platform {

inline constexpr char kSeparator = '/';

// The path with one trailing separator added when it has none.
std::string withTrailingSeparator(std::string_view path);

// The last component: the text after the last separator.
std::string_view fileNameOf(std::string_view path);

// The folder part: the text up to (not including) the last separator, or the
// empty text when there is none. The parent of "/a" is "".
std::string_view folderOf(std::string_view path);

// The extension of a name, dot included: the text from the last "." on, or
// empty when the name has no dot.
std::string_view extensionOf(std::string_view name);

// True when `path` is `folder` itself or lies beneath it (component-wise, so
// "/data" does not contain "/database").
bool isSameOrInside(std::string_view path, std::string_view folder);

// The path with its spelling made plain, by text alone: repeated separators
// become one, "." components go, and a trailing separator is dropped ("/" stays
// "/"). Links are never resolved, so ".." is kept as typed ("a/../b" may name
// another folder than "b" when "a" is a link), except right after the root,
// whose parent is the root itself. A relative path stays relative ("./a" gives
// "a", "." stays "."); the empty text stays empty.
std::string lexicallyNormal(std::string_view path);

// `path` made absolute against the folder `base` (itself absolute) when it is
// relative, then lexicallyNormal.
std::string absolutePath(std::string_view path, std::string_view base);

}  // namespace platform
