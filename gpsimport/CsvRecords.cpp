#include "CsvRecords.h"

#include <QIODevice>

namespace GpsImport {

namespace {
constexpr qint64 kBlockBytes = 64 * 1024;
} // namespace

CsvRecords::CsvRecords(QIODevice &in, const StopFlag &stop) : m_in(in), m_stop(stop)
{
    m_field.reserve(kFieldBytes);
}

bool CsvRecords::fill()
{
    if (m_stop.load(std::memory_order_relaxed))
        return false;
    m_block.resize(kBlockBytes);
    const qint64 n = m_in.read(m_block.data(), kBlockBytes);
    m_block.resize(qMax<qint64>(n, 0));
    m_pos = 0;
    if (m_first && m_block.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
    m_first = false;
    return m_pos < m_block.size();
}

void CsvRecords::endField(QStringList &fields)
{
    if (fields.size() < kFieldsPerRecord) {
        QString text = QString::fromUtf8(m_field);
        // A character cut in two at the field's bound is left out.
        if (m_fieldCut && text.endsWith(QChar::ReplacementCharacter))
            text.chop(1);
        fields.append(text);
    }
    m_field.clear();
    m_fieldCut = false;
}

bool CsvRecords::next(QStringList &fields)
{
    enum class State { FieldStart, Plain, Quoted, QuoteInQuoted };
    State state = State::FieldStart;
    fields.clear();
    m_field.clear();
    m_fieldCut = false;
    bool any = false;
    for (;;) {
        if (m_pos == m_block.size() && !fill()) {
            if (any)
                endField(fields);
            return any;
        }
        const char c = m_block.at(m_pos++);
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (c == '\n')
                continue;
        }
        any = true;
        const bool quoted = state == State::Quoted;
        if (!quoted && (c == '\r' || c == '\n')) {
            m_skipLineFeed = c == '\r';
            endField(fields);
            return true;
        }
        if (!quoted && c == ',') {
            endField(fields);
            state = State::FieldStart;
            continue;
        }
        if (c == '"' && (state == State::FieldStart || state == State::Quoted)) {
            state = state == State::FieldStart ? State::Quoted : State::QuoteInQuoted;
            continue;
        }
        // A doubled quote in a quoted field is one quote; any other byte
        // after a closing quote is kept as it stands.
        if (state == State::QuoteInQuoted)
            state = c == '"' ? State::Quoted : State::Plain;
        else if (state == State::FieldStart)
            state = State::Plain;
        if (m_field.size() < kFieldBytes)
            m_field.append(c);
        else
            m_fieldCut = true;
    }
}

} // namespace GpsImport
