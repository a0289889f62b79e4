#pragma once
#include "AppError.h"
#include "TPubStrGrid.h"

#include <algorithm>

// The HTML table of a TPubStrGrid, line by line, into a sink of
// HtmlText (LineSink, Cp1250Sink): row 0 as the heading row with the
// column widths + 5 as widths, Caption1 above it when set, every other
// row a body row. Body texts wrap when UseTdWrap is set; otherwise they
// do not, and texts longer than zkraceni characters are cut to that
// length and end with "...". Texts are cut first, then escaped. A
// non-negative maxBodyRows writes only that many body rows, the first.
namespace HtmlTable {

template <class Sink>
void write(const TPubStrGrid &g, Sink &out, int maxBodyRows = -1)
{
    const auto line = [&out](QStringView markup) {
        out.markup(markup);
        out.endLine();
    };
    line(u"<table cellspacing = 0 cellpadding=3>");
    if (!g.Caption1().isEmpty()) {
        out.markup(u"<tr><th nowrap colspan=");
        out.number(g.ColCount() - 1);
        out.markup(u">");
        out.text(g.Caption1());
        line(u"</th></tr>");
    }
    line(u"<tr>");
    for (int c = 0; c < g.ColCount(); ++c) {
        out.markup(u"<th nowrap width=");
        out.number(qint64(g.ColWidths(c)) + 5);
        out.markup(u">");
        const QStringView h = g.cellView(c, 0);
        if (h.isEmpty())
            out.markup(u"<br>");
        else
            out.text(h);
        line(u"</th>");
    }
    line(u"</tr>");

    const QStringView open = g.UseTdWrap() ? QStringView(u"<td>") : QStringView(u"<td nowrap>");
    const qsizetype cut = std::max(g.zkraceni(), 0);
    const int rows = maxBodyRows < 0 ? g.RowCount() : std::min(g.RowCount(), maxBodyRows + 1);
    for (int r = 1; r < rows; ++r) {
        line(u"<tr>");
        for (int c = 0; c < g.ColCount(); ++c) {
            out.markup(open);
            const QStringView t = g.cellView(c, r);
            if (t.isEmpty()) {
                out.markup(u"<br>");
            } else if (g.UseTdWrap() || t.size() <= cut) {
                out.text(t);
            } else {
                out.text(leftCharacters(t, cut));
                out.markup(u"...");
            }
            line(u"</td>");
        }
        line(u"</tr>");
    }
    line(u"</table>");
}

} // namespace HtmlTable
