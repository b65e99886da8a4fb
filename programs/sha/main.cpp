#include <cstdio>

#include "sha.h"
#include "StandardDescriptors.h"

int main(int argc, char* argv[]) {
    reserveStandardDescriptors();
    return runSha(argc, argv, stdout, stderr);
}
