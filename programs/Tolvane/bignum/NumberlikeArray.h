#ifndef NUMBERLIKEARRAY_H
#define NUMBERLIKEARRAY_H

// Storage for the arbitrary-precision classes: an owned array of `cap`
// blocks of which the first `len` are in use.
//
// Growth is exact: the capacity becomes precisely what is asked for and
// never shrinks, so a result object that is written again and again stops
// allocating once it is big enough.
//
// A new array is always created before the old one is released, so an
// allocation failure leaves the object as it was (and safe to destroy).

template <class Blk>
class NumberlikeArray {
public:
    typedef unsigned int Index;
    static_assert(sizeof(Index) == 4, "lengths and positions are 32-bit");

    // Bits in one block.
    static constexpr unsigned int N = 8 * sizeof(Blk);

    Index cap;
    Index len;
    Blk *blk;

    NumberlikeArray() : cap(0), len(0), blk(nullptr) {}

    // An empty value with room for `c` blocks.
    explicit NumberlikeArray(Index c) : cap(c), len(0), blk(new Blk[c]) {}

    // Copies `l` blocks; the array is created even when `l` is 0.
    NumberlikeArray(const Blk *b, Index l) : cap(l), len(l), blk(new Blk[l]) {
        copyBlocks(blk, b, l);
    }

    // The copy gets exactly as many blocks as the source uses.
    NumberlikeArray(const NumberlikeArray<Blk> &x) : cap(x.len), len(x.len), blk(new Blk[x.len]) {
        copyBlocks(blk, x.blk, len);
    }

    ~NumberlikeArray() { delete[] blk; }

    NumberlikeArray<Blk> &operator=(const NumberlikeArray<Blk> &x) {
        if (this == &x)
            return *this;
        allocate(x.len);
        len = x.len;
        copyBlocks(blk, x.blk, len);
        return *this;
    }

    // Ensures room for `c` blocks; the blocks are undefined afterwards
    // when the array had to grow.
    void allocate(Index c) {
        if (c <= cap)
            return;
        Blk *fresh = new Blk[c];
        delete[] blk;
        blk = fresh;
        cap = c;
    }

    // Ensures room for `c` blocks, keeping the `len` blocks in use.
    void allocateAndCopy(Index c) {
        if (c <= cap)
            return;
        Blk *fresh = new Blk[c];
        copyBlocks(fresh, blk, len);
        delete[] blk;
        blk = fresh;
        cap = c;
    }

    Index getCapacity() const { return cap; }
    Index getLength() const { return len; }
    // Blocks above the length read as 0.
    Blk getBlock(Index i) const { return i < len ? blk[i] : 0; }
    bool isEmpty() const { return len == 0; }

    bool operator==(const NumberlikeArray<Blk> &x) const {
        if (len != x.len)
            return false;
        for (Index i = 0; i < len; i++)
            if (blk[i] != x.blk[i])
                return false;
        return true;
    }
    bool operator!=(const NumberlikeArray<Blk> &x) const { return !operator==(x); }

private:
    static void copyBlocks(Blk *to, const Blk *from, Index count) {
        for (Index i = 0; i < count; i++)
            to[i] = from[i];
    }
};

#endif
