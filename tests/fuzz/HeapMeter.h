#pragma once
#include <QtGlobal>

// How much heap memory a piece of work takes. Built with AddressSanitizer
// it sees every allocation and gives the peak since the meter was made;
// elsewhere it asks the C library and gives what the work still holds.
class HeapMeter
{
public:
    HeapMeter();
    // Bytes above what was allocated when the meter was made.
    qint64 used() const;
    // "peak" or "retained": what used() tells.
    static const char *kind();

private:
    qint64 m_start;
};
