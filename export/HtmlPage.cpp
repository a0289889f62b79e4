#include "HtmlPage.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "HtmlTable.h"
#include "HtmlText.h"
#include "SystemColors.h"
#include "StringTable.h"

QRgb colorValueToRgb(qint32 color)
{
    const quint32 value = quint32(color);
    if (value & 0x80000000u)
        return SystemColors::rgb(int(value & 0xFFu)) | 0xFF000000u;
    return qRgb(int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF));
}

qint32 rgbToColorValue(QRgb rgb)
{
    return qint32(quint32(qRed(rgb)) | quint32(qGreen(rgb)) << 8 | quint32(qBlue(rgb)) << 16);
}

QString ColorToHtml(qint32 color)
{
    const QRgb rgb = colorValueToRgb(color);
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    QString out(7, u'#');
    const int parts[3] = {qRed(rgb), qGreen(rgb), qBlue(rgb)};
    for (int i = 0; i < 3; ++i) {
        out[1 + 2 * i] = QChar(kHex[parts[i] >> 4]);
        out[2 + 2 * i] = QChar(kHex[parts[i] & 0xF]);
    }
    return out;
}

namespace HtmlPage {

namespace {
HtmlTable::Options tableOptions(const HtmlSettings &s)
{
    return {.wrapCells = !s.cutLongTexts, .cutLength = s.cutLength};
}

// Writes every line of the page into the sink.
template <class Sink>
void writePage(const HtmlSettings &s, const StringTable &log, Sink &out, int maxRides = kAllRides)
{
    const auto line = [&out](QStringView markup) {
        out.markup(markup);
        out.endLine();
    };
    const auto style = [&](QStringView name, const QString &value, QStringView end) {
        out.markup(name);
        out.markup(value);
        line(end);
    };
    const auto fontFamily = [&](const QString &name) {
        out.markup(u"        font-family: '");
        out.markup(cleanFontName(name));
        line(u"';");
    };
    const auto border = [&](QStringView side) {
        out.markup(side);
        out.number(s.borderSize);
        out.markup(u"px solid ");
        out.markup(ColorToHtml(s.borderColour));
        line(u";");
    };
    const auto title = [&](QStringView before, QStringView after) {
        out.markup(before);
        out.text(s.title);
        line(after);
    };

    line(u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">");
    title(u"<HTML><head><TITLE>", u"</TITLE>");
    line(u" <META NAME=\"TITLE\" CONTENT=\"Trasovník HTML výstup\">");
    line(u" <META NAME=\"DESCRIPTION\" CONTENT=\"Trasovník - https://trasovnik.example.org\">");
    line(u" <META NAME=\"Author\" CONTENT=\"Halvorn Software\">");
    line(u" <META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1250\">");
    line(u" <META HTTP-EQUIV=\"CONTENT-LANGUAGE\" CONTENT=\"CS\">");
    line(u"<STYLE>");
    line(u" body {");
    fontFamily(s.titleFontName);
    style(u"        font-size: ", QString::number(s.titleFontSize), u"pt;");
    style(u"        background: ", ColorToHtml(s.pageColour), u";");
    style(u"        color: ", ColorToHtml(s.titleFontColour), u";");
    line(u"}");
    line(u" table {");
    fontFamily(s.tableFontName);
    style(u"        font-size: ", QString::number(s.tableFontSize), u"pt;");
    style(u"        background: ", ColorToHtml(s.tableColour), u";");
    style(u"        color: ", ColorToHtml(s.tableFontColour), u";");
    border(u"        border-right:");
    border(u"        border-bottom:");
    line(u"}");
    line(u" TD,TH  {");
    line(u"        text-align: left;");
    border(u"        border-left:");
    border(u"        border-top:");
    line(u"}");
    line(u"</STYLE>");
    line(u"</head>");
    line(u"<body>");
    title(u"<center>", u"<br><br>");
    HtmlTable::write(log, tableOptions(s), out, maxRides);
    line(u"</center></body></html>");
}
} // namespace

QByteArray bytes(const HtmlSettings &settings, const StringTable &log, int maxRides)
{
    QByteArray page;
    const int rows = maxRides == kAllRides ? log.tableRowCount() : std::min(log.tableRowCount(), maxRides + 1);
    // About 30 bytes per cell line.
    page.reserve(2048 + qsizetype(rows) * (log.riderColumnCount() + 2) * 32);
    HtmlText::Cp1250Sink sink(page);
    writePage(settings, log, sink, maxRides);
    return page;
}

} // namespace HtmlPage

BuiltPage BuildHtmlPage(const HtmlSettings &settings, const StringTable &log, const ProgramFolder::Location &where,
                        const std::function<void(const QString &path)> &show, int maxRides)
{
    const QString path = where.preview();
    BuiltPage built{HtmlPage::bytes(settings, log, maxRides), QString()};
    try {
        AtomicWrite::replaceScratchFile(path, built.bytes);
    } catch (const AppError &e) {
        built.failure = e.text();
        return built;
    }
    if (show)
        show(path);
    return built;
}
