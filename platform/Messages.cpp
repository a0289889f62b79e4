#include "Messages.h"
#include "AppError.h"

namespace {
class SilentMessages final : public Messages
{
public:
    void show(Kind, const QString &) override {}
};

SilentMessages g_silent;
Messages *g_current = &g_silent;
} // namespace

QStringView leftCharacters(QStringView text, qsizetype max)
{
    if (max >= text.size())
        return text;
    if (max <= 0)
        return text.first(0);
    return text.first(text[max - 1].isHighSurrogate() && text[max].isLowSurrogate() ? max - 1 : max);
}

QString excerpt(QStringView text, qsizetype max)
{
    if (text.size() <= max)
        return text.toString();
    return leftCharacters(text, max).toString() + u'…';
}

AppError invalidIntegerError(QStringView text)
{
    return AppError(QStringLiteral("'%1' is not a valid integer value").arg(excerpt(text)));
}

int Messages::choose(const QString &, const QStringList &, int, int escape)
{
    return escape;
}

Messages &Messages::instance()
{
    return *g_current;
}

void Messages::install(Messages *service)
{
    g_current = service ? service : &g_silent;
}

QString failureOf(const std::function<void()> &action)
{
    try {
        action();
        return QString();
    } catch (const AppError &e) {
        return e.text();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    }
}

bool runGuarded(const std::function<void()> &action)
{
    const QString failure = failureOf(action);
    if (failure.isEmpty())
        return true;
    Messages::instance().failure(failure);
    return false;
}
