// A chunk summarised by one number: the fraction of its bytes that are not
// zero.
#ifndef DEDUP_SHA_CONCORDANCE_H
#define DEDUP_SHA_CONCORDANCE_H

class Concordance {
public:
    Concordance();
    Concordance(const unsigned char* chunk, int chunkSize);
    ~Concordance();

    // fractionNonZeros = non-zero bytes among the first chunkSize / chunkSize;
    // a chunkSize of 0 gives NaN.
    void computeConcordance(const unsigned char* chunk, int chunkSize);
    // Exact floating-point equality, so a NaN equals nothing.
    bool equals(const Concordance* c) const;
    // This fraction minus that of c: signed, not a distance.
    double getSimilarity(const Concordance* c) const;

    double fractionNonZeros;
};

#endif
