#pragma once
#include "HtmlSettings.h"

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <functional>

class TPubStrGrid;

// "#RRGGBB" of a colour value; bit 31 takes the desktop's system colour
// of the low byte's index, bits 24–30 are ignored.
QString ColorToHtml(qint32 color);
// The colour a colour value stands for (system colours resolved), and
// back: the value of a plain colour.
QRgb colorValueToRgb(qint32 color);
qint32 rgbToColorValue(QRgb rgb);

namespace HtmlPage {

// The page's file in the program folder (program folder with its
// trailing separator), rebuilt at every build.
QString previewPath(const QString &programFolder);

// Both set the table's UseTdWrap and zkraceni from the settings (the table
// keeps them). The page's lines:
QStringList lines(const HtmlSettings &settings, TPubStrGrid &log);
// The page in Windows-1250 as the file holds it, CR LF after every line.
QByteArray bytes(const HtmlSettings &settings, TPubStrGrid &log);

} // namespace HtmlPage

// Builds the page, writes it to temp.html in the program folder (a file
// that cannot be written is passed over in silence: the preview keeps
// what it showed) and hands the file's full path to `show`. Gives the
// page's bytes.
QByteArray BuildHtmlPage(const HtmlSettings &settings, TPubStrGrid &log, const QString &programFolder,
                   const std::function<void(const QString &path)> &show);
