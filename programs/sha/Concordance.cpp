#include "Concordance.h"

#include "NonZeroCount.h"

Concordance::Concordance() : fractionNonZeros(0.0) {}

Concordance::Concordance(const unsigned char* chunk, int chunkSize) : fractionNonZeros(0.0) {
    computeConcordance(chunk, chunkSize);
}

Concordance::~Concordance() {}

void Concordance::computeConcordance(const unsigned char* chunk, int chunkSize) {
    int count = chunkSize > 0 ? int(countNonZeroBytes(chunk, unsigned(chunkSize))) : 0;
    fractionNonZeros = double(count) / double(chunkSize);
}

bool Concordance::equals(const Concordance* c) const {
    return fractionNonZeros == c->fractionNonZeros;
}

double Concordance::getSimilarity(const Concordance* c) const {
    return fractionNonZeros - c->fractionNonZeros;
}
