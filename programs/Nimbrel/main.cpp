#include <cstdio>

#include "Nimbrel.h"

int main(int argc, char* argv[]) { return runNimbrel(argc, argv, stdout, stderr); }
