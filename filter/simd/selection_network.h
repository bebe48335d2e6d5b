// Selection networks built at compile time: Batcher's odd-even merge sort for
// the next power of two, cut down to the comparators that the element of one
// rank depends on. Padding inputs would hold +inf and never move, so the
// comparators that touch them are dropped; walking the network backwards from
// the output wire keeps only the comparators (and of those only the min or
// max half) that reach it.
//
// Compiled under different instruction-set flags in different translation
// units, so everything has internal linkage (see vector_ops.h).
#pragma once

#include <utility>

namespace taviron {
namespace simd {
namespace {

struct Comparator {
    int low = 0;   // takes the minimum
    int high = 0;  // takes the maximum
    bool keepMin = true;
    bool keepMax = true;
};

constexpr int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) {
        p *= 2;
    }
    return p;
}

// Comparators of Batcher's odd-even merge sort of 2^t inputs:
// (t^2 - t + 4) 2^(t-2) - 1.
constexpr int SortComparatorCount(int inputs) {
    int t = 0;
    while ((1 << t) < inputs) {
        ++t;
    }
    return t < 2 ? (t == 1 ? 1 : 0) : (t * t - t + 4) * (1 << (t - 2)) - 1;
}

template <int Inputs, int Rank>
struct SelectionNetwork {
    static constexpr int kPadded = PowerOfTwoAtLeast(Inputs);
    static constexpr int kCapacity = SortComparatorCount(kPadded) + 1;

    struct List {
        Comparator items[kCapacity] = {};
        int size = 0;
    };

    static constexpr List SortingNetwork() {
        List list;
        const int n = kPadded;
        for (int p = 1; p < n; p *= 2) {
            for (int k = p; k >= 1; k /= 2) {
                for (int j = k % p; j + k < n; j += 2 * k) {
                    for (int i = 0; i < k && i + j + k < n; ++i) {
                        const int low = i + j;
                        const int high = i + j + k;
                        if (low / (2 * p) == high / (2 * p) && high < Inputs) {
                            list.items[list.size++] = Comparator{low, high, true, true};
                        }
                    }
                }
            }
        }
        return list;
    }

    static constexpr List Build() {
        const List sorting = SortingNetwork();
        bool needed[kPadded] = {};
        needed[Rank] = true;
        List reversed;
        for (int c = sorting.size - 1; c >= 0; --c) {
            Comparator comparator = sorting.items[c];
            comparator.keepMin = needed[comparator.low];
            comparator.keepMax = needed[comparator.high];
            if (comparator.keepMin || comparator.keepMax) {
                reversed.items[reversed.size++] = comparator;
                needed[comparator.low] = true;
                needed[comparator.high] = true;
            }
        }
        List list;
        for (int c = reversed.size - 1; c >= 0; --c) {
            list.items[list.size++] = reversed.items[c];
        }
        return list;
    }

    static constexpr List kList = Build();
};

template <class V, int Low, int High, bool KeepMin, bool KeepMax>
inline void CompareExchange(typename V::I* keys) {
    const typename V::I a = keys[Low];
    const typename V::I b = keys[High];
    if constexpr (KeepMin) {
        keys[Low] = V::Min(a, b);
    }
    if constexpr (KeepMax) {
        keys[High] = V::Max(a, b);
    }
}

template <class V, class Network, int... C>
inline void ApplyNetwork([[maybe_unused]] typename V::I* keys, std::integer_sequence<int, C...>) {
    (CompareExchange<V, Network::kList.items[C].low, Network::kList.items[C].high, Network::kList.items[C].keepMin,
                     Network::kList.items[C].keepMax>(keys),
     ...);
}

// Leaves at keys[Rank] the key that an ascending sort of keys[0 .. Inputs)
// would put there; the other entries are left in no useful order.
template <class V, int Inputs, int Rank>
inline void SelectRank(typename V::I* keys) {
    using Network = SelectionNetwork<Inputs, Rank>;
    ApplyNetwork<V, Network>(keys, std::make_integer_sequence<int, Network::kList.size>{});
}

}  // namespace
}  // namespace simd
}  // namespace taviron
