#include <cstdio>

#include "sha.h"

int main(int argc, char* argv[]) { return runSha(argc, argv, stdout, stderr); }
