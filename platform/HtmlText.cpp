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

// The one walk over a text placed into a page. A character that
// Windows-1250 holds goes out as it is (keep: the character and its byte);
// "&", "<" and ">" become entities when the text is escaped; any other
// character becomes a numeric reference, in markup too, so that it still
// shows in a page written in Windows-1250.
// The output is taken and given back by value, so that a byte output's
// position stays in a register while the bytes are written.
template <class Out>
[[gnu::always_inline]] inline Out escapeInto(Out out, QStringView s, bool escapeMarkup)
{
    const char16_t *in = s.utf16();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80 && (!escapeMarkup || (c != u'&' && c != u'<' && c != u'>'))) {
            out.keep(c, char(c));
            continue;
        }
        if (c < 0x80) {
            out.entity(entity(c));
            continue;
        }
        const int b = AnsiFile::encodeChar(QChar(c));
        if (b >= 0)
            out.keep(c, char(b));
        else
            out.reference(codePointAt(s, i));
    }
    return out;
}

// Into a text: characters stay characters.
struct TextOut
{
    QString &out;
    void keep(char16_t c, char) { out.append(QChar(c)); }
    void entity(QLatin1StringView named) { out.append(named); }
    void reference(char32_t code) { out.append(u"&#").append(QString::number(uint(code))).append(u';'); }
};

// Into Windows-1250 bytes, at a position with room enough.
struct BytesOut
{
    char *p;
    void keep(char16_t, char byte) { *p++ = byte; }
    void entity(QLatin1StringView named)
    {
        memcpy(p, named.data(), size_t(named.size()));
        p += named.size();
    }
    void reference(char32_t code)
    {
        const QByteArray ref = "&#" + QByteArray::number(uint(code)) + ';';
        memcpy(p, ref.constData(), size_t(ref.size()));
        p += ref.size();
    }
};
} // namespace

void appendEscaped(QString &out, QStringView text)
{
    out.reserve(out.size() + text.size());
    escapeInto(TextOut{out}, text, true);
}

void Cp1250Sink::put(QStringView s, bool escape)
{
    // Room for the worst case, "&#65535;" per character, then cut back to
    // what was written. Both resizes stay within the array's capacity,
    // which grows geometrically: no copy per write.
    const qsizetype used = m_out.size();
    m_out.resize(used + s.size() * 8);
    char *const start = m_out.data() + used;
    const BytesOut end = escapeInto(BytesOut{start}, s, escape);
    m_out.resize(used + (end.p - start));
}

} // namespace HtmlText
