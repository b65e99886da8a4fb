#include <cstdio>

#include "Tolvane.h"
#include "StandardDescriptors.h"

int main(int argc, char* argv[]) {
    reserveStandardDescriptors();
    return runTolvane(argc, argv, stdout, stderr);
}
