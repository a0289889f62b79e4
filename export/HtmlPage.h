#pragma once
#include "ProgramFolder.h"
#include "HtmlSettings.h"

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <functional>

class StringTable;

// "#RRGGBB" of a colour value; bit 31 takes the desktop's system colour
// of the low byte's index, bits 24–30 are ignored.
QString ColorToHtml(qint32 color);
// The colour a colour value stands for (system colours resolved), and
// back: the value of a plain colour.
QRgb colorValueToRgb(qint32 color);
qint32 rgbToColorValue(QRgb rgb);

namespace HtmlPage {

// A page with every ride of the log.
inline constexpr int kAllRides = -1;
// The rides the export window's preview shows at most: a page of tens of
// thousands of rides takes the browser seconds and, far enough, all its
// memory.
inline constexpr int kPreviewRides = 500;

// The page in Windows-1250 as the file holds it, CR LF after every line;
// with only the first `maxRides` rides unless that is kAllRides. The
// table's cells wrap or are cut as the settings say (cutLongTexts,
// cutLength).
QByteArray bytes(const HtmlSettings &settings, const StringTable &log, int maxRides = kAllRides);

} // namespace HtmlPage

// A page built and what became of its file.
struct BuiltPage
{
    QByteArray bytes;
    // Why temp.html could not be written; empty when it was.
    QString failure;
};

// Builds the page (the first `maxRides` rides unless that is kAllRides),
// writes it to the data folder's preview file and hands the file's full
// path to `show`. A file that cannot be written is not shown: the failure
// says why, and the caller decides what the preview shows instead.
BuiltPage BuildHtmlPage(const HtmlSettings &settings, const StringTable &log, const ProgramFolder::Location &where,
                        const std::function<void(const QString &path)> &show, int maxRides = HtmlPage::kAllRides);
