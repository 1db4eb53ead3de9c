#pragma once

#include <string>
#include <string_view>

// Texts of the model are byte strings (paths above all may hold any byte but
// NUL), while an XML document holds Unicode characters only. A text is
// written to an attribute unchanged when it is well-formed UTF-8 made of
// characters XML allows. Every other byte is written as the private-use
// character U+F700 plus the byte's value (U+F701 to U+F7FF):
//   - each byte of a sequence that is not valid UTF-8 (overlong forms,
//     surrogates, stray continuation bytes, cut-off sequences),
//   - each byte of a character XML does not allow (control characters other
//     than tab, line feed and carriage return; U+FFFE, U+FFFF),
//   - each byte of a character of the range U+F700 to U+F7FF itself, so that
//     reading never mistakes a real such character for an escape.
// Reading turns every U+F701 to U+F7FF back into its byte, which restores the
// bytes exactly. A NUL byte (which no path or name can hold) is written as
// U+F700, which reading leaves as it is: no NUL ever comes out of the file.
namespace config {

std::string encodeAttributeText(std::string_view bytes);
std::string decodeAttributeText(std::string_view text);

}  // namespace config
