// Allocation failures inside big-number operations: each array allocation
// in turn is made to fail; the objects must stay valid, keep their value
// where the operation allows it, and be released without leaks (checked by
// the sanitizer build).

#include <cstdlib>
#include <new>

#include "BigIntegerUtils.h"
#include "BignumTestSupport.h"

namespace {
long arrayAllocationsLeft = -1; // before one fails; negative: never fail
} // namespace

void *operator new[](std::size_t size) {
    if (arrayAllocationsLeft == 0)
        throw std::bad_alloc();
    arrayAllocationsLeft -= arrayAllocationsLeft > 0;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

struct Operands {
    BigUnsigned a = toBU("ffffffff:ffffffff:ffffffff"), b = toBU("12345:6789a"), target = toBU("5");
    BigInteger sa = toBI("-ffffffff:ffffffff:ffffffff"), sb = toBI("12345:6789a"), starget = toBI("-5");
    std::string targets() const { return describe(target) + " " + describe(starget); }
};

void failEachAllocation(const std::function<void(Operands &)> &operation, bool keepsValue) {
    for (long failAt = 0;; failAt++) {
        Operands o;
        const std::string before = o.targets();
        bool failed = false;
        arrayAllocationsLeft = failAt;
        try {
            operation(o);
        } catch (const std::bad_alloc &) {
            failed = true;
        }
        arrayAllocationsLeft = -1;
        std::string all = o.targets() + describe(o.a) + describe(o.b) + describe(o.sa) + describe(o.sb);
        EXPECT_EQ(all.find_first_of("?"), std::string::npos) << "sign disagrees with magnitude: " << all;
        for (const BigUnsigned *x : {&o.a, &o.b, &o.target})
            EXPECT_TRUE(x->isZero() || x->getBlock(x->getLength() - 1) != 0) << "not in normal form";
        if (!failed)
            return;
        if (keepsValue) {
            EXPECT_EQ(o.targets(), before) << "allocation " << failAt;
        }
        ASSERT_LT(failAt, 1000);
    }
}

TEST(AllocationFailure, UnsignedOperationsKeepTheirValue) {
    failEachAllocation([](Operands &o) { o.target.add(o.a, o.b); }, true);
    failEachAllocation([](Operands &o) { o.target.subtract(o.a, o.b); }, true);
    failEachAllocation([](Operands &o) { o.target.multiply(o.a, o.b); }, true);
    failEachAllocation([](Operands &o) { o.target += o.a; }, true);
    failEachAllocation([](Operands &o) { o.target.bitShiftLeft(o.a, 999); }, true);
    failEachAllocation([](Operands &o) { o.target.bitOr(o.target, o.a); }, true);
    failEachAllocation([](Operands &o) { o.a.divideWithRemainder(o.b, o.target); }, true);
    failEachAllocation([](Operands &o) { o.target.divideWithRemainder(o.target, o.a); }, true);
    failEachAllocation([](Operands &o) { o.target = o.a, o.target *= o.target; }, false);
    failEachAllocation([](Operands &o) { ++o.a, o.target = o.a; }, false);
}

TEST(AllocationFailure, ConversionsAndSignedOperationsStayValid) {
    failEachAllocation([](Operands &o) { o.target = easyStringToBU(easyBUtoString(o.a)); }, true);
    failEachAllocation([](Operands &o) { o.starget.add(o.sa, o.sb); }, true);
    failEachAllocation([](Operands &o) { o.starget.multiply(o.starget, o.sa); }, true);
    failEachAllocation([](Operands &o) { o.sa.divideWithRemainder(o.sb, o.starget); }, false);
    failEachAllocation([](Operands &o) { o.starget = BigInteger(-1), o.starget.divideWithRemainder(o.sb, o.sa); }, false);
    failEachAllocation([](Operands &o) { o.starget = easyStringToBI(easyBItoString(o.sa)); }, true);
}

} // namespace
