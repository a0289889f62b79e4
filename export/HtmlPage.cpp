#include "HtmlPage.h"
#include "AnsiFile.h"
#include "AppError.h"
#include "HtmlText.h"
#include "SystemColors.h"
#include "TPubStrGrid.h"

QString ColorToHtml(qint32 color)
{
    quint32 value = quint32(color);
    if (value & 0x80000000u) {
        const QRgb rgb = SystemColors::rgb(int(value & 0xFFu));
        value = quint32(qRed(rgb)) | quint32(qGreen(rgb)) << 8 | quint32(qBlue(rgb)) << 16;
    }
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    QString out(7, u'#');
    for (int i = 0; i < 3; ++i) {
        const uint byte = (value >> (8 * i)) & 0xFFu;
        out[1 + 2 * i] = QChar(kHex[byte >> 4]);
        out[2 + 2 * i] = QChar(kHex[byte & 0xF]);
    }
    return out;
}

namespace HtmlPage {

namespace {
// Hands every line of the page to `out`.
void writeLines(const HtmlSettings &s, TPubStrGrid &log, const std::function<void(QStringView)> &out)
{
    log.setUseTdWrap(!s.usewrap);
    log.setZkraceni(s.zkraceni);

    const QString title = HtmlText::escaped(s.Title);
    const auto n = [](qint32 v) { return QString::number(v); };
    const QString border = n(s.BorderSize) + u"px solid "_qs + ColorToHtml(s.BorderColor) + u';';

    out(u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">");
    out(QString(u"<HTML><head><TITLE>"_qs + title + u"</TITLE>"_qs));
    out(u" <META NAME=\"TITLE\" CONTENT=\"Trasovník HTML výstup\">");
    out(u" <META NAME=\"DESCRIPTION\" CONTENT=\"Trasovník - https://trasovnik.example.org\">");
    out(u" <META NAME=\"Author\" CONTENT=\"Halvorn Software\">");
    out(u" <META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1250\">");
    out(u" <META HTTP-EQUIV=\"CONTENT-LANGUAGE\" CONTENT=\"CS\">");
    out(u"<STYLE>");
    out(u" body {");
    out(QString(u"        font-family: "_qs + s.FontTitleName + u';'));
    out(QString(u"        font-size: "_qs + n(s.FontTitleSize) + u"pt;"_qs));
    out(QString(u"        background: "_qs + ColorToHtml(s.BodyColor) + u';'));
    out(QString(u"        color: "_qs + ColorToHtml(s.FontTitleColor) + u';'));
    out(u"}");
    out(u" table {");
    out(QString(u"        font-family: "_qs + s.FontTableName + u';'));
    out(QString(u"        font-size: "_qs + n(s.FontTableSize) + u"pt;"_qs));
    out(QString(u"        background: "_qs + ColorToHtml(s.TableColor) + u';'));
    out(QString(u"        color: "_qs + ColorToHtml(s.FontTableColor) + u';'));
    out(QString(u"        border-right:"_qs + border));
    out(QString(u"        border-bottom:"_qs + border));
    out(u"}");
    out(u" TD,TH  {");
    out(u"        text-align: left;");
    out(QString(u"        border-left:"_qs + border));
    out(QString(u"        border-top:"_qs + border));
    out(u"}");
    out(u"</STYLE>");
    out(u"</head>");
    out(u"<body>");
    out(QString(u"<center>"_qs + title + u"<br><br>"_qs));
    log.writeHtmlTableLines(out);
    out(u"</center></body></html>");
}
} // namespace

QString text(const HtmlSettings &settings, TPubStrGrid &log)
{
    QString page;
    // About 40 characters per cell line.
    page.reserve(2048 + qsizetype(log.RowCount()) * (log.ColCount() + 2) * 40);
    writeLines(settings, log, [&page](QStringView line) { page.append(line).append(u"\r\n"); });
    return page;
}

QStringList lines(const HtmlSettings &settings, TPubStrGrid &log)
{
    QStringList all;
    writeLines(settings, log, [&all](QStringView line) { all.append(line.toString()); });
    return all;
}

QByteArray bytes(const HtmlSettings &settings, TPubStrGrid &log)
{
    // Every text has been escaped or is the program's own, except font
    // names, which the font dialog offers only when the code page holds
    // them; a hand-edited store.ini is Windows-1250 itself.
    return AnsiFile::encode(text(settings, log));
}

} // namespace HtmlPage

void BuildHtmlPage(const HtmlSettings &settings, TPubStrGrid &log, const QString &programFolder,
                   const std::function<void(const QString &path)> &show)
{
    const QString path = programFolder + HtmlPage::kPreviewFileName.toString();
    try {
        AnsiFile::writeBytes(path, HtmlPage::bytes(settings, log));
    } catch (const AppError &) {
        // The preview keeps the page it showed; nothing to tell the rider.
    }
    if (show)
        show(path);
}
