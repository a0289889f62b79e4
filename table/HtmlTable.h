#pragma once
#include "AppError.h"
#include "StringTable.h"

#include <algorithm>

// The HTML table of a StringTable, line by line, into a sink of
// HtmlText (Cp1250Sink): row 0 as the heading row with the
// column widths + 5 as widths, caption above it when set, every other
// row a body row. Body texts wrap when the options say so; otherwise they
// do not, and texts longer than cutLength characters are cut to that
// length and end with "...". Texts are cut first, then escaped. A
// non-negative maxBodyRows writes only that many body rows, the first.
namespace HtmlTable {

// How the body cells are written: the page's choice, not the table's.
struct Options
{
    bool wrapCells = false;
    int cutLength = 100; // a negative length cuts like 0
};

template <class Sink>
void write(const StringTable &g, const Options &options, Sink &out, int maxBodyRows = -1)
{
    const auto line = [&out](QStringView markup) {
        out.markup(markup);
        out.endLine();
    };
    line(u"<table cellspacing = 0 cellpadding=3>");
    if (!g.caption().isEmpty()) {
        out.markup(u"<tr><th nowrap colspan=");
        out.number(g.riderColumnCount() - 1);
        out.markup(u">");
        out.text(g.caption());
        line(u"</th></tr>");
    }
    line(u"<tr>");
    for (int c = 0; c < g.riderColumnCount(); ++c) {
        out.markup(u"<th nowrap width=");
        out.number(qint64(g.columnWidth(c)) + 5);
        out.markup(u">");
        const QStringView h = g.cellView(c, 0);
        if (h.isEmpty())
            out.markup(u"<br>");
        else
            out.text(h);
        line(u"</th>");
    }
    line(u"</tr>");

    const QStringView open = options.wrapCells ? QStringView(u"<td>") : QStringView(u"<td nowrap>");
    const qsizetype cut = std::max(options.cutLength, 0);
    const int rows = maxBodyRows < 0 ? g.tableRowCount() : std::min(g.tableRowCount(), maxBodyRows + 1);
    for (int r = 1; r < rows; ++r) {
        line(u"<tr>");
        for (int c = 0; c < g.riderColumnCount(); ++c) {
            out.markup(open);
            const QStringView t = g.cellView(c, r);
            if (t.isEmpty()) {
                out.markup(u"<br>");
            } else if (options.wrapCells || t.size() <= cut) {
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
