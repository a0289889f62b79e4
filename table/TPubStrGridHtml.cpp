#include "TPubStrGrid.h"
#include "HtmlText.h"

namespace {
const QStringView kEmptyCell = u"<br>";
}

void TPubStrGrid::writeHtmlTableLines(const std::function<void(QStringView)> &out) const
{
    QString line;
    line.reserve(256);
    const auto put = [&] {
        out(line);
        line.clear();
    };

    out(u"<table cellspacing = 0 cellpadding=3>");
    if (!m_caption1.isEmpty()) {
        line.append(u"<tr><th nowrap colspan=").append(QString::number(m_colCount - 1)).append(u'>');
        HtmlText::appendEscaped(line, m_caption1);
        line.append(u"</th></tr>");
        put();
    }
    out(u"<tr>");
    for (int c = 0; c < m_colCount; ++c) {
        line.append(u"<th nowrap width=").append(QString::number(ColWidths(c) + 5)).append(u'>');
        const QStringView h = cellView(c, 0);
        if (h.isEmpty())
            line.append(kEmptyCell);
        else
            HtmlText::appendEscaped(line, h);
        line.append(u"</th>");
        put();
    }
    out(u"</tr>");

    const QStringView open = m_useTdWrap ? QStringView(u"<td>") : QStringView(u"<td nowrap>");
    const qsizetype cut = std::max(m_zkraceni, 0);
    for (int r = 1; r < m_rowCount; ++r) {
        out(u"<tr>");
        for (int c = 0; c < m_colCount; ++c) {
            line.append(open);
            const QStringView t = cellView(c, r);
            if (t.isEmpty()) {
                line.append(kEmptyCell);
            } else if (m_useTdWrap || t.size() <= cut) {
                HtmlText::appendEscaped(line, t);
            } else {
                // Cut first, then escape: an entity is never cut in half.
                HtmlText::appendEscaped(line, t.left(cut));
                line.append(u"...");
            }
            line.append(u"</td>");
            put();
        }
        out(u"</tr>");
    }
    out(u"</table>");
}

void TPubStrGrid::WriteHtmlTable(QStringList &Lines) const
{
    writeHtmlTableLines([&Lines](QStringView line) { Lines.append(line.toString()); });
}
