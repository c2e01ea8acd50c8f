#include "scanner/PageSizes.h"

namespace PageSizes {

namespace {
constexpr PageSize Table[Count] = {
    {"Custom", 0.0f, 0.0f},
    {"A4 Letter, A4 ", 8.3f, 11.7f},
    {"B5 Letter, JIS B5 ", 6.9f, 9.8f},
    {"US Letter ", 8.5f, 11.0f},
    {"US Legal ", 8.5f, 14.0f},
    {"A5 ", 5.8f, 8.3f},
    {"B4, ISO B4 ", 9.8f, 13.9f},
    {"B6, ISO B6 ", 4.9f, 6.9f},
    {"US Ledger ", 11.0f, 17.0f},
    {"US Executive ", 7.25f, 10.5f},
    {"A3 ", 11.7f, 16.5f},
    {"B3, ISO B3 ", 13.9f, 19.7f},
    {"A6 ", 4.1f, 5.8f},
    {"C4 ", 9.0f, 12.8f},
    {"C5", 6.4f, 9.0f},
    {"C6", 4.5f, 6.4f},
};
} // namespace

const PageSize &at(int index)
{
    // An index from outside the list reads as "Custom", which has no size.
    return index >= 0 && index < Count ? Table[index] : Table[0];
}

} // namespace PageSizes
