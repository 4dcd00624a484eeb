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

// A file of exactly lineCount lines (at least 8) in the sample's style:
// comment lines, blank lines, mail proxy keys and the launcher's keys, the end
// marker last.
std::string stretchedConf(std::size_t lineCount);

// Number of lines of a text (a last line without a line feed counts).
std::size_t countLines(const std::string& text);

}  // namespace bench
