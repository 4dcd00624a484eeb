// A Windows program that does nothing: the baseline for "starting a program
// under Wine costs this much" in the benchmarks.
int main() { return 0; }
