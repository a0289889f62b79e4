#pragma once
#include <QRgb>

// The desktop's colours under the indexes that Windows gives its system
// colours (0 scroll bar, 5 window, 8 window text, 15 button face, ...),
// taken from the application's current palette. An index with no colour
// gives black.
namespace SystemColors {

QRgb rgb(int index);

} // namespace SystemColors
