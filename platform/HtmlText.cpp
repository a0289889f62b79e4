#include "HtmlText.h"
#include "AnsiFile.h"

namespace HtmlText {

void appendEscaped(QString &out, QStringView text)
{
    const qsizetype n = text.size();
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype upTo) {
        if (upTo > plainFrom)
            out.append(text.mid(plainFrom, upTo - plainFrom));
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80 ? AnsiFile::encodeChar(QChar(c)) >= 0 : (c != u'&' && c != u'<' && c != u'>'))
            continue;
        flushPlain(i);
        switch (c) {
        case u'&': out.append(u"&amp;"); break;
        case u'<': out.append(u"&lt;"); break;
        case u'>': out.append(u"&gt;"); break;
        default: {
            char32_t code = c;
            if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate())
                code = QChar::surrogateToUcs4(c, text[++i].unicode());
            out.append(u"&#").append(QString::number(uint(code))).append(u';');
        }
        }
        plainFrom = i + 1;
    }
    flushPlain(n);
}

QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

} // namespace HtmlText
