#include <cstdio>

#include "Tolvane.h"

int main(int argc, char* argv[]) { return runTolvane(argc, argv, stdout, stderr); }
