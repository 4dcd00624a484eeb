#include "linkprobe/linkprobe_entry.h"

int main(int argc, char* argv[]) { return linkprobeMain(argc, argv); }
