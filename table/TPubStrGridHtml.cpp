#include "HtmlTable.h"
#include "HtmlText.h"

void TPubStrGrid::WriteHtmlTable(QStringList &Lines) const
{
    HtmlText::LineSink sink(Lines);
    HtmlTable::write(*this, sink);
}
