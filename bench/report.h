// The benchmark programs print their results as Markdown sections that the
// run script gathers into the performance document.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Fixed-point text of a number.
std::string fixed(double value, int decimals = 1);
// "met" or "**missed**".
std::string verdict(bool met);
// A share judged twice, on the medians and on the minimums (the least
// disturbed runs): "met" or "**missed**" when both agree, otherwise
// "**inconclusive**", since the machine's noise then exceeds the margin.
std::string shareVerdict(double medianShare, double minimumShare, double limit);

// "1.23x"
std::string ratioText(double measured, double baseline);

class Table {
public:
    explicit Table(std::vector<std::string> header) : header_(std::move(header)) {}
    void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    // Rows shorter than the header are padded with empty cells.
    std::string markdown() const;

private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

// A hidden line that the run script gathers into the summary of targets:
// "<!-- target | what | measured | target | verdict -->".
std::string targetLine(const std::string& what, const std::string& measured,
                       const std::string& target, bool met);
std::string targetLine(const std::string& what, const std::string& measured,
                       const std::string& target, const std::string& verdictText);

// Writes text to standard output as it is (the section is Markdown).
void print(const std::string& text);

}  // namespace bench
