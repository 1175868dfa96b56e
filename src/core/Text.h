#pragma once
// Text apart from where it comes from: trimming and UTF-8. Pure; none of it throws.

#include <cstddef>
#include <string>

namespace qm::text {

// Which code points a trim drops.
using Drops = bool (*)(unsigned cp);
// Space, tab, line feed, carriage return, vertical tab and form feed.
bool asciiSpace(unsigned cp);
// Unicode's white space: the ASCII blanks, next line, the no-break, wide and narrow spaces, and
// the line and paragraph separators. Typed and pasted text may carry any of them.
bool anySpace(unsigned cp);
// anySpace without the line ends (line feed, carriage return, vertical tab, form feed, next
// line, the line and paragraph separators).
bool spaceInLine(unsigned cp);

// s without the characters `drops` takes at both ends. Bytes that are not UTF-8 are kept.
std::string trim(const std::string& s, Drops drops = asciiSpace);
// s without them at the end only.
std::string trimEnd(const std::string& s, Drops drops = asciiSpace);

// True when s is valid UTF-8.
bool validUtf8(const std::string& s);
// The length of the valid UTF-8 sequence at s[i], with its code point; 0 when invalid.
std::size_t decodeUtf8(const std::string& s, std::size_t i, unsigned& cp);

}  // namespace qm::text
