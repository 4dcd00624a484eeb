#include "bench/report.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace bench {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string verdict(bool met) { return met ? "met" : "**missed**"; }

std::string shareVerdict(double medianShare, double minimumShare, double limit) {
    bool byMedian = medianShare <= limit;
    bool byMinimum = minimumShare <= limit;
    if (byMedian != byMinimum) return "**inconclusive**";
    return verdict(byMedian);
}

std::string ratioText(double measured, double baseline) {
    if (baseline <= 0) return "n/a";
    return fixed(measured / baseline, 2) + "x";
}

namespace {

std::string rowText(const std::vector<std::string>& cells, std::size_t columns) {
    std::string line = "|";
    for (std::size_t i = 0; i < columns; ++i) {
        line += " ";
        if (i < cells.size()) line += cells[i];
        line += " |";
    }
    return line + "\n";
}

}  // namespace

std::string Table::markdown() const {
    std::string text = rowText(header_, header_.size());
    text += "|";
    for (std::size_t i = 0; i < header_.size(); ++i) text += "---|";
    text += "\n";
    for (const auto& row : rows_) text += rowText(row, header_.size());
    return text;
}

std::string targetLine(const std::string& what, const std::string& measured,
                       const std::string& target, bool met) {
    return targetLine(what, measured, target, verdict(met));
}

std::string targetLine(const std::string& what, const std::string& measured,
                       const std::string& target, const std::string& verdictText) {
    return "<!-- target | " + what + " | " + measured + " | " + target + " | " + verdictText +
           " -->\n";
}

void print(const std::string& text) {
    // Line feeds stay line feeds: the document is written on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace bench
