#include "HtmlText.h"
#include "AnsiFile.h"

#include <algorithm>
#include <cstring>

namespace HtmlText {

namespace {
// The entity of a character that must not stay as it is, or nothing.
QLatin1StringView entity(char16_t c)
{
    switch (c) {
    case u'&': return QLatin1StringView("&amp;");
    case u'<': return QLatin1StringView("&lt;");
    case u'>': return QLatin1StringView("&gt;");
    default: return {};
    }
}

// The code point at i (a surrogate pair counts once; i moves past it).
char32_t codePointAt(QStringView s, qsizetype &i)
{
    const char16_t c = s[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, s[++i].unicode());
    return c;
}
} // namespace

void appendEscaped(QString &out, QStringView text)
{
    const qsizetype n = text.size();
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        const QLatin1StringView named = c < 0x80 ? entity(c) : QLatin1StringView();
        if (named.isNull() && (c < 0x80 || AnsiFile::encodeChar(QChar(c)) >= 0))
            continue;
        out.append(text.mid(plainFrom, i - plainFrom));
        if (!named.isNull())
            out.append(named);
        else
            out.append(u"&#").append(QString::number(uint(codePointAt(text, i)))).append(u';');
        plainFrom = i + 1;
    }
    out.append(text.mid(plainFrom));
}

void Cp1250Sink::put(QStringView s, bool escape)
{
    // Room for the worst case, "&#65535;" per character, then cut back to
    // what was written. Both resizes stay within the array's capacity,
    // which grows geometrically: no copy per write.
    const qsizetype used = m_out.size();
    m_out.resize(used + s.size() * 8);
    char *const start = m_out.data() + used;
    char *p = start;
    const char16_t *in = s.utf16();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80 && (!escape || (c != u'&' && c != u'<' && c != u'>'))) {
            *p++ = char(c);
            continue;
        }
        if (c < 0x80) {
            const QLatin1StringView named = entity(c);
            memcpy(p, named.data(), size_t(named.size()));
            p += named.size();
            continue;
        }
        const int b = AnsiFile::encodeChar(QChar(c));
        if (b >= 0) {
            *p++ = char(b);
            continue;
        }
        const QByteArray ref = "&#" + QByteArray::number(uint(codePointAt(s, i))) + ';';
        memcpy(p, ref.constData(), size_t(ref.size()));
        p += ref.size();
    }
    m_out.resize(used + (p - start));
}

} // namespace HtmlText
