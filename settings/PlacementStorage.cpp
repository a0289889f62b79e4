#include "PlacementStorage.h"
#include "AppError.h"
#include "IniFile.h"
#include "Messages.h"
#include "PlacementFile.h"

#include <QGuiApplication>
#include <QMetaProperty>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {
PlacementFile::Screen screenNow(const QWidget *window)
{
    PlacementFile::Screen s;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen)
        s.pixelsPerInch = qRound(screen->logicalDotsPerInch());
    if (QScreen *primary = QGuiApplication::primaryScreen())
        s.size = primary->size();
    return s;
}

// The rectangle the window takes when it is neither maximized nor
// minimized.
QRect normalGeometry(const QWidget *w)
{
    const bool away = w->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen);
    if (away && w->normalGeometry().isValid())
        return w->normalGeometry();
    return w->geometry();
}

WindowPlacement placementOf(const QWidget *w, bool forSaving)
{
    WindowPlacement p;
    const Qt::WindowStates state = w->windowState();
    if (!forSaving && !w->isVisible())
        p.showCmd = WindowPlacement::Hide;
    else if (state & Qt::WindowMinimized)
        p.showCmd = WindowPlacement::Minimized;
    else if (state & Qt::WindowMaximized)
        p.showCmd = WindowPlacement::Maximized;
    else
        p.showCmd = WindowPlacement::Normal;
    if ((state & Qt::WindowMinimized) && (state & Qt::WindowMaximized))
        p.flags = WindowPlacement::kRestoreToMaximized;
    // A maximized window's frame lies just off the screen.
    p.maxPosition = w->frameGeometry().topLeft() - w->geometry().topLeft();
    p.normalRect = WindowPlacement::edges(normalGeometry(w));
    return p;
}

// The window's smallest size: its own minimum, and its layout's when it
// has one.
QSize minimumOf(const QWidget *w)
{
    return w->minimumSize().expandedTo(w->minimumSizeHint());
}

// The frame the desktop puts around the window: its own once the platform
// knows it, else what Qt itself assumes when it places a dialog (a title
// bar of 40 pixels and borders of 10).
QMargins frameOf(const QWidget *w)
{
    const QMargins own = w->windowHandle() ? w->windowHandle()->frameMargins() : QMargins();
    return own.isNull() ? QMargins(10, 40, 10, 10) : own;
}

// However absurd the stored rectangle (a monitor that is gone, a smaller
// resolution, a hand-edited file), the window lies on a screen. A rectangle
// within a screen's free area is taken as it is. Any other goes onto the
// screen it covers most (the primary screen when it covers none): with its
// frame no larger than that screen's free area, though not below the
// window's minimum size, and wholly on it where it fits. Edges are 64-bit
// numbers, so that no width of two stored ints overflows.
QRect ontoScreen(const std::array<qint64, 4> &e, QSize minimum, const QMargins &frame)
{
    const auto within = [&e](const QRect &a) {
        return e[0] >= a.x() && e[1] >= a.y() && e[2] <= qint64(a.x()) + a.width() && e[3] <= qint64(a.y()) + a.height();
    };
    const QScreen *best = QGuiApplication::primaryScreen();
    qint64 bestCover = 0;
    for (const QScreen *s : QGuiApplication::screens()) {
        const QRect a = s->availableGeometry();
        if (within(a))
            return QRect(int(e[0]), int(e[1]), int(e[2] - e[0]), int(e[3] - e[1]));
        const qint64 w = qMax<qint64>(0, qMin<qint64>(e[2], a.x() + a.width()) - qMax<qint64>(e[0], a.x()));
        const qint64 h = qMax<qint64>(0, qMin<qint64>(e[3], a.y() + a.height()) - qMax<qint64>(e[1], a.y()));
        if (w * h > bestCover) {
            bestCover = w * h;
            best = s;
        }
    }
    if (!best)
        return QRect();
    const QRect area = best->availableGeometry().marginsRemoved(frame);
    const QSize size = QSize(int(qMin<qint64>(e[2] - e[0], area.width())), int(qMin<qint64>(e[3] - e[1], area.height())))
                           .expandedTo(minimum);
    const auto place = [](qint64 stored, int from, int room, int length) {
        return int(qMax<qint64>(from, qMin<qint64>(stored, qint64(from) + room - length)));
    };
    return QRect(QPoint(place(e[0], area.x(), area.width(), size.width()),
                        place(e[1], area.y(), area.height(), size.height())),
                 size);
}

struct StoredProperty
{
    QObject *object = nullptr;
    QMetaProperty property;
    QString key;
};

// The property by its name in any letter case. Only integers and Booleans
// are kept. A writable property goes before a read-only one of the same
// name.
StoredProperty resolve(QObject *object, const QByteArray &name, const QString &key)
{
    StoredProperty sp;
    if (!object)
        return sp;
    const QMetaObject *meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        const int type = p.metaType().id();
        if (qstricmp(p.name(), name.constData()) == 0 && (type == QMetaType::Bool || type == QMetaType::Int)) {
            const bool better = !sp.object || (p.isWritable() && !sp.property.isWritable());
            if (better) {
                sp.object = object;
                sp.property = p;
                sp.key = key;
            }
        }
    }
    return sp;
}

QString valueText(const StoredProperty &sp)
{
    const QVariant v = sp.property.read(sp.object);
    if (sp.property.metaType().id() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return QString::number(v.toInt());
}

void assign(const StoredProperty &sp, const QString &text)
{
    QVariant value;
    if (sp.property.metaType().id() == QMetaType::Bool) {
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            value = true;
        else if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            value = false;
        else
            return;
    } else {
        value = IniFile::parseInteger(text, 0);
    }
    if (sp.property.isWritable()) {
        sp.property.write(sp.object, value);
    } else if (auto *w = qobject_cast<QWidget *>(sp.object); w && qstrcmp(sp.property.name(), "width") == 0) {
        w->resize(value.toInt(), w->height());
    } else if (w && qstrcmp(sp.property.name(), "height") == 0) {
        w->resize(w->width(), value.toInt());
    }
}
// The placement's version in the file; a window whose layout changed would
// take another.
constexpr int kVersion = 0;

} // namespace

PlacementStorage::PlacementStorage(QWidget *window, const QString &section)
    : QObject(window), m_window(window), m_section(section)
{
    setObjectName(QStringLiteral("PlacementStorage"));
}

void PlacementStorage::keepProperty(const QString &key, QObject *object, const char *property)
{
    m_kept.push_back({key, object, QByteArray(property)});
}

void PlacementStorage::restorePlacement()
{
    if (!m_window)
        return;
    m_saved = false;
    QWidget *w = m_window;
    const PlacementFile::Restored r =
        PlacementFile::read(m_iniFileName, m_section, kVersion, placementOf(w, false), screenNow(w));
    if (r.versionFits) {
        const std::array<int, 4> &n = r.placement.normalRect;
        // A rectangle without area is no placement.
        if (r.hasPosition && n[0] < n[2] && n[1] < n[3]) {
            std::array<qint64, 4> edges = {n[0], n[1], n[2], n[3]};
            // A window of fixed size keeps it and takes the stored place.
            if (w->minimumSize() == w->maximumSize()) {
                edges[2] = edges[0] + w->width();
                edges[3] = edges[1] + w->height();
            }
            if (const QRect fitted = ontoScreen(edges, minimumOf(w), frameOf(w)); fitted.isValid())
                w->setGeometry(fitted);
        }
        Qt::WindowStates state = w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
        if (r.showCmd == WindowPlacement::Minimized) {
            // Left maximized, then minimized: restoring it brings it
            // back maximized.
            state |= Qt::WindowMinimized;
            if (r.placement.flags & WindowPlacement::kRestoreToMaximized)
                state |= Qt::WindowMaximized;
        } else if (r.showCmd == WindowPlacement::Maximized) {
            state |= Qt::WindowMaximized;
        }
        w->setWindowState(state);
        for (const KeptProperty &kept : m_kept) {
            const StoredProperty sp = resolve(kept.object, kept.property, kept.key);
            if (sp.object)
                assign(sp, IniFile::readString(m_iniFileName, m_section, sp.key, valueText(sp)).trimmed());
        }
    }
    m_restored = true;
}

void PlacementStorage::save(bool destroying)
{
    if (!m_window || !m_restored)
        return;
    QWidget *w = m_window;
    IniFile::Entries properties;
    for (const KeptProperty &kept : m_kept) {
        const StoredProperty sp = resolve(kept.object, kept.property, kept.key);
        if (sp.object)
            properties.append({sp.key, valueText(sp)});
    }
    PlacementFile::save(m_iniFileName, m_section, kVersion, placementOf(w, true), screenNow(w), destroying,
                        properties);
    m_saved = true;
}

void PlacementStorage::savePlacement()
{
    save(false);
}

void PlacementStorage::saveIfNotSaved()
{
    if (m_saved)
        return;
    try {
        save(true);
    } catch (const AppError &) {
        // The program is ending; there is nobody left to tell.
    }
}

void PlacementStorage::restoreOnFirstShow(const QString &iniFileName)
{
    if (m_shown)
        return;
    m_shown = true;
    runGuarded([this, &iniFileName] {
        setIniFileName(iniFileName);
        restorePlacement();
    });
}

void PlacementStorage::saveOnClose()
{
    const QString failure = failureOf([this] { savePlacement(); });
    if (!failure.isEmpty())
        Messages::instance().failure(failure);
}
