// Configuration files for the reader's benchmark: a representative
// norvale.conf, and the same kind of content stretched to any line count.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// A complete norvale.conf as an installation carries it: comments, the four
// keys the launcher reads, the mail proxy's own keys, the end marker and the
// lines beyond it.
extern const char kSampleConf[];

// A file of exactly lineCount lines (at least 8): the sample's lines before
// its end marker, repeated (the listening port of copy n is 4000 + n), then
// the end marker.
std::string stretchedConf(std::size_t lineCount);

// Number of lines of a text (a last line without a line feed counts).
std::size_t countLines(const std::string& text);

}  // namespace bench
