#include "remover/remover.h"

int main(int argc, char** argv) { return runRemover(argc, argv); }
