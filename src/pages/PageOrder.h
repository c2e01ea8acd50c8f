#pragma once

#include <QList>

// The list orders that put a two-sided stack right, as pure functions over
// positions: element i of the result is the old position of the page that
// goes to place i.
namespace PageOrder {

enum class Arrangement
{
    Interleave,               // first half with second half: 1, n/2+1, 2, n/2+2, ...
    InterleaveSecondReversed, // the backs of a turned stack: 1, n, 2, n-1, ...
    Reverse
};

// The first half is the larger one when n is odd: a last front has no back.
QList<int> permutation(int n, Arrangement arrangement);

} // namespace PageOrder
