#include "HtmlTable.h"
#include "HtmlText.h"

void StringTable::WriteHtmlTable(QStringList &Lines) const
{
    HtmlText::LineSink sink(Lines);
    HtmlTable::write(*this, sink);
}
