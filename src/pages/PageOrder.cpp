#include "pages/PageOrder.h"

namespace PageOrder {

QList<int> permutation(int n, Arrangement arrangement)
{
    QList<int> order;
    if (n <= 0)
        return order;
    order.reserve(n);
    if (arrangement == Arrangement::Reverse) {
        for (int i = n - 1; i >= 0; --i)
            order.append(i);
        return order;
    }
    const int first = (n + 1) / 2;
    const int second = n - first;
    for (int i = 0; i < first; ++i) {
        order.append(i);
        if (i < second)
            order.append(arrangement == Arrangement::Interleave ? first + i : n - 1 - i);
    }
    return order;
}

} // namespace PageOrder
