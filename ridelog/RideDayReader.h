#pragma once
#include "LocaleService.h"

#include <QDate>
#include <QString>

#include <optional>

// The day of a ride's date cell, as the locale reads it. The rides of one
// day mostly stand together: a text like the one before is not parsed
// again.
class RideDayReader
{
public:
    std::optional<QDate> dayOf(QStringView text)
    {
        if (m_read && text == m_lastText)
            return m_lastDay;
        m_lastText = text.toString();
        m_lastDay = LocaleService::instance().parseDate(text);
        m_read = true;
        return m_lastDay;
    }

private:
    bool m_read = false;
    QString m_lastText;
    std::optional<QDate> m_lastDay;
};
