#include "Cp1250Validator.h"
#include "AnsiFile.h"
#include "AppError.h"

#include <QLineEdit>
#include <QToolTip>

namespace {
// The input made storable; `pos` follows the characters before it.
QString storable(const QString &input, int &pos, QString &dropped)
{
    QString out;
    out.reserve(input.size());
    int newPos = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        const bool beforeCursor = i < pos;
        if (c == u'\r' && i + 1 < input.size() && input.at(i + 1) == u'\n') {
            // CR LF is one line break: one blank.
            if (beforeCursor)
                --newPos;
            continue;
        }
        if (c == u'\r' || c == u'\n' || c == u'\t') {
            out += u' ';
            continue;
        }
        const qsizetype len = c.isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate() ? 2 : 1;
        const QStringView ch = QStringView(input).mid(i, len);
        if (len == 2 || !AnsiFile::isEncodable(ch)) {
            if (!dropped.contains(ch))
                dropped += ch;
            if (beforeCursor)
                newPos -= int(len);
            i += len - 1;
            continue;
        }
        out += c;
    }
    pos = std::clamp(newPos, 0, int(out.size()));
    return out;
}
} // namespace

QValidator::State Cp1250Validator::validate(QString &input, int &pos) const
{
    QString dropped;
    const QString fixed = storable(input, pos, dropped);
    if (fixed != input)
        input = fixed;
    if (!dropped.isEmpty())
        emit charactersDropped(dropped);
    return Acceptable;
}

void keepStorable(QLineEdit *edit)
{
    auto *validator = new Cp1250Validator(edit);
    edit->setValidator(validator);
    QObject::connect(validator, &Cp1250Validator::charactersDropped, edit, [edit](const QString &characters) {
        QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())),
                           QStringLiteral("Znaky %1 nelze uložit (kódování Windows-1250), byly vynechány.")
                               .arg(excerpt(characters, 20)),
                           edit);
    });
}
