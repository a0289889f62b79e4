#pragma once
#include <QString>
#include <QStringView>

// Text placed into an HTML page that is written in Windows-1250.
namespace HtmlText {

// Appends the text as character data: "&", "<" and ">" become entities,
// so that a text never turns into markup, and a character that the code
// page cannot hold becomes a numeric reference, so that it still shows.
void appendEscaped(QString &out, QStringView text);
QString escaped(QStringView text);

} // namespace HtmlText
