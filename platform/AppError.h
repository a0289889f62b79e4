#pragma once
#include <QString>
#include <stdexcept>

// A failure that ends the current user action. Its text is shown in the
// error box by the guard around every event handler.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString &text() const noexcept { return m_text; }

private:
    QString m_text;
};

// The runtime's conversion error for a text that is not an integer.
AppError invalidIntegerError(QStringView text);

// A piece of a text to quote in a message: at most `max` characters, with
// "…" when it was cut, so that no message grows with the data it names.
QString excerpt(QStringView text, qsizetype max = 60);

// The text's first `max` UTF-16 units (none for `max` <= 0), one fewer
// where the cut would fall inside a surrogate pair: a text is cut between
// characters, never in the middle of one.
QStringView leftCharacters(QStringView text, qsizetype max);
