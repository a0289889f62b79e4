#pragma once
#include "LocaleService.h"

// Pins a locale for the lifetime of the object.
class TestLocale
{
public:
    explicit TestLocale(const QLocale &l = QLocale(QLocale::Czech, QLocale::CzechRepublic))
        : m_saved(LocaleService::instance().locale())
    {
        LocaleService::instance().setLocale(l);
    }
    ~TestLocale() { LocaleService::instance().setLocale(m_saved); }

private:
    QLocale m_saved;
};
