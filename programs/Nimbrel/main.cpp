#include <cstdio>

#include "Nimbrel.h"
#include "StandardDescriptors.h"

int main(int argc, char* argv[]) {
    reserveStandardDescriptors();
    return runNimbrel(argc, argv, stdout, stderr);
}
