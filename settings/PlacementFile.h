#pragma once
#include "IniFile.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>

// A window's placement as the settings file keeps it: the show command,
// the minimized and maximized positions and the normal rectangle, with
// the screen's pixels per inch and size at the time.
struct WindowPlacement
{
    // Show commands as the file writes them.
    enum ShowCmd { Hide = 0, Normal = 1, Minimized = 2, Maximized = 3 };
    // Set when a minimized window goes back to maximized.
    static constexpr int kRestoreToMaximized = 2;

    int flags = 0;
    int showCmd = Normal;
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    // Left, top, right and bottom, right and bottom just outside.
    std::array<int, 4> normalRect{0, 0, 0, 0};

    static std::array<int, 4> edges(const QRect &r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
};

// Reading and writing one window's section of the settings file.
namespace PlacementFile {

// "(1280x1024)": appended to the position keys, so that every screen size
// keeps its own pair.
QString screenSuffix(QSize screen);
// The four numbers of a position key: words split at commas and blanks;
// a missing word or one that is not a number takes its default.
std::array<int, 4> positionWords(QStringView text, const std::array<int, 4> &defaults);

struct Screen
{
    int pixelsPerInch = 96;
    QSize size;
};

// Writes the section's keys in their order: FormVersion, Flags, ShowCmd,
// PixelsPerInch, MinMaxPos with the screen suffix and plain, NormPos the
// same, Visible, then the stored properties. One write of the file.
// Throws AppError("Unable to write to <path>").
void save(const QString &path, const QString &section, int version, const WindowPlacement &placement,
          const Screen &screen, bool visible, const IniFile::Entries &properties);

struct Restored
{
    // False when the section's version is below the window's: nothing of
    // it applies.
    bool versionFits = true;
    // The normal rectangle to take, when the section holds a position for
    // a screen of the current pixels per inch.
    bool hasPosition = false;
    WindowPlacement placement;
    // The state read from ShowCmd; Hide stands for "the window's default".
    int showCmd = WindowPlacement::Hide;
};

// Reads what `save` wrote. `current` gives the defaults of the position.
Restored read(const QString &path, const QString &section, int version, const WindowPlacement &current,
              const Screen &screen);

} // namespace PlacementFile
