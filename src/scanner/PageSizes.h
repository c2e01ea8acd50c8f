#pragma once

#include <QString>

// The page sizes the scanner control knows by code and the window lists: item 0
// "Custom" (the area drawn on the preview), items 1 to 15 standard sizes in
// inches, held as single-precision values exactly as listed.
namespace PageSizes {

constexpr int Count = 16;

struct PageSize
{
    const char *name; // list text, trailing blanks included
    float width;      // inches
    float height;
};

const PageSize &at(int index); // 0 <= index < Count; others give "Custom"

} // namespace PageSizes
