#pragma once
#include "RecordedRide.h"

#include <QString>
#include <QStringView>
#include <QXmlStreamReader>

#include <optional>

// What the GPX and TCX readers share: one streaming XML reader set up the
// same way, the texts of times and numbers read without a string made for
// each, and the Czech words for what went wrong.
namespace GpsImport::XmlRideFile {

// Times the devices cannot have recorded: before 1980, or more than a year
// after `nowMs` (a receiver without a fix, a clock never set).
inline constexpr qint64 kEarliestMs = 315'532'800'000; // 1980-01-01T00:00:00Z
inline constexpr qint64 kYearMs = 366LL * 24 * 3600 * 1000;

// Milliseconds since 1970 (UTC) of an xsd:dateTime text, "2024-07-14T22:30:00Z",
// with fractional seconds and an offset or none (UTC). Empty when it is
// not one.
std::optional<qint64> parseTime(QStringView text);
// A decimal number in the C locale; blanks around it allowed. Not finite
// numbers are answered as they are: the caller judges them.
std::optional<double> parseNumber(QStringView text);

// A reader over `in` that expands entities declared in the file only up
// to a small bound and never fetches anything.
void prepare(QXmlStreamReader &xml, QIODevice &in);

// Walks the tokens, looking at the stop flag now and then; a stop ends the
// walk as an error of the reader.
class Tokens
{
public:
    Tokens(QXmlStreamReader &xml, const StopFlag &stop) : m_xml(xml), m_stop(stop) {}
    // The next token; false at the end of the document, at an error or
    // when stopped.
    bool next()
    {
        if ((++m_count & 0xfff) == 0 && m_stop.load(std::memory_order_relaxed)) {
            m_stopped = true;
            m_xml.raiseError(QStringLiteral("stopped"));
            return false;
        }
        m_xml.readNext();
        return !m_xml.atEnd() && !m_xml.hasError();
    }
    // The start of the next child of the element being read; false at
    // that element's end (or where next() ends).
    bool nextChild()
    {
        while (next()) {
            if (m_xml.isStartElement())
                return true;
            if (m_xml.isEndElement())
                return false;
        }
        return false;
    }
    // Walks to past the end of the element whose start was the last token,
    // giving `characters` each piece of its own text (not that of the
    // elements nested in it).
    template <class Characters>
    void walkElement(Characters characters)
    {
        int depth = 1;
        while (depth > 0 && next()) {
            if (m_xml.isStartElement())
                ++depth;
            else if (m_xml.isEndElement())
                --depth;
            else if (depth == 1 && m_xml.isCharacters())
                characters(m_xml.text());
        }
    }
    // Past the end of the element whose start was the last token.
    void skipElement()
    {
        walkElement([](QStringView) {});
    }
    // The text of the element whose start was the last token, its first
    // `limit` characters trimmed, nested elements left out; the reader
    // ends past its end.
    QString text(qsizetype limit = 200);
    bool stopped() const { return m_stopped; }

private:
    QXmlStreamReader &m_xml;
    const StopFlag &m_stop;
    quint32 m_count = 0;
    bool m_stopped = false;
};

// Reads the root element's start: false when the bytes end or break
// before it.
bool findRoot(Tokens &tokens, QXmlStreamReader &xml);

// Opens a file of one kind at its root element `root`, whose namespace
// is then the kind's own. The reason there can be no ride, when the file
// is empty, the reading was stopped or the root is another (`otherKind`).
std::optional<QString> openRoot(QIODevice &in, Tokens &tokens, QXmlStreamReader &xml, QStringView root,
                                const QString &otherKind, QString &rootNamespace);
// After the walk over the file: the reason there can be no ride, when the
// reading was stopped or the XML broke other than by ending too soon.
std::optional<QString> walkProblem(const Tokens &tokens, const QXmlStreamReader &xml);

// What the rider is told when the reading ended in an error of the reader
// that is not the file ending too soon.
QString brokenXml(const QXmlStreamReader &xml);
// The reading ended as the bytes ended, inside the document.
inline bool endedEarly(const QXmlStreamReader &xml)
{
    return xml.error() == QXmlStreamReader::PrematureEndOfDocumentError;
}

inline QString stoppedProblem()
{
    return QStringLiteral("čtení bylo přerušeno");
}
inline QString emptyFileProblem()
{
    return QStringLiteral("soubor je prázdný");
}

} // namespace GpsImport::XmlRideFile
