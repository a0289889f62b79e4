#pragma once
#include <QByteArray>
#include <QString>
#include <QStringView>

// Text placed into an HTML page that is written in Windows-1250.
namespace HtmlText {

// Appends the text as character data: "&", "<" and ">" become entities,
// so that a text never turns into markup, and a character that the code
// page cannot hold becomes a numeric reference, so that it still shows.
void appendEscaped(QString &out, QStringView text);

// Where the lines of a page go. Each line is built from markup (written
// as it is), texts (escaped) and numbers, and ended by endLine().

// Straight into the Windows-1250 bytes of the page, CR LF after every
// line: one pass, no text in between. Characters that the code page
// cannot hold become numeric references, in markup too.
class Cp1250Sink
{
public:
    // Appends to `out`, which holds exactly the bytes written after every
    // call: nothing is left to do when the sink goes, so the array can be
    // returned or copied while the sink is still alive.
    explicit Cp1250Sink(QByteArray &out) : m_out(out) {}
    Cp1250Sink(const Cp1250Sink &) = delete;
    Cp1250Sink &operator=(const Cp1250Sink &) = delete;

    void markup(QStringView s) { put(s, false); }
    void text(QStringView s) { put(s, true); }
    void number(qint64 n) { markup(QString::number(n)); }
    void endLine() { markup(u"\r\n"); }

private:
    void put(QStringView s, bool escape);
    QByteArray &m_out;
};

} // namespace HtmlText
