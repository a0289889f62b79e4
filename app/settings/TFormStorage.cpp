#include "TFormStorage.h"
#include "AppError.h"
#include "IniFile.h"
#include "PlacementFile.h"

#include <QGuiApplication>
#include <QMetaProperty>
#include <QScreen>
#include <QWidget>

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

// A rectangle that lies off every screen (a monitor that is gone, a
// smaller resolution) is moved onto the primary screen, no larger than
// it, so that its title bar can be reached.
QRect ontoScreen(QRect rect)
{
    const int needWidth = qMin(rect.width(), 64);
    const int needHeight = qMin(rect.height(), 32);
    for (const QScreen *s : QGuiApplication::screens()) {
        const QRect area = s->availableGeometry();
        const QRect shown = rect.intersected(area);
        if (shown.width() >= needWidth && shown.height() >= needHeight && rect.top() >= area.top())
            return rect;
    }
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return rect;
    const QRect area = primary->availableGeometry();
    rect.setSize(rect.size().boundedTo(area.size()));
    rect.moveLeft(qBound(area.left(), rect.left(), area.right() + 1 - rect.width()));
    rect.moveTop(qBound(area.top(), rect.top(), area.bottom() + 1 - rect.height()));
    return rect;
}

struct StoredProperty
{
    QObject *object = nullptr;
    QMetaProperty property;
    QString key;
};

// "Component.Property" on the window: the component by its name, the
// property by its name in any letter case. Only integers and Booleans are
// kept. A writable property goes before a read-only one of the same name
// (a panel's own "Width" before QWidget's "width").
StoredProperty resolve(QWidget *window, const QString &entry)
{
    StoredProperty sp;
    const qsizetype dot = entry.indexOf(u'.');
    if (dot <= 0)
        return sp;
    const QString component = entry.left(dot);
    const QString name = entry.mid(dot + 1);
    QObject *object = window->objectName() == component ? window : window->findChild<QObject *>(component);
    if (!object)
        return sp;
    const QMetaObject *meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        const int type = p.metaType().id();
        if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0
            && (type == QMetaType::Bool || type == QMetaType::Int)) {
            const bool better = !sp.object || (p.isWritable() && !sp.property.isWritable());
            if (better) {
                sp.object = object;
                sp.property = p;
                sp.key = component + u'_' + name;
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
} // namespace

TFormStorage::TFormStorage(QWidget *window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("FormStorage"));
}

QString TFormStorage::section() const
{
    if (!m_iniSection.isEmpty() || !m_window)
        return m_iniSection;
    return QString::fromLatin1(m_window->metaObject()->className());
}

void TFormStorage::RestorePlacement()
{
    if (!m_active || !m_window)
        return;
    m_saved = false;
    QWidget *w = m_window;
    const PlacementFile::Restored r =
        PlacementFile::read(m_iniFileName, section(), m_version, placementOf(w, false), screenNow(w));
    if (r.versionFits) {
        if ((m_options & fpPosition) && r.hasPosition) {
            QRect rect = r.placement.rect();
            if (w->minimumSize() == w->maximumSize())
                rect.setSize(w->size());
            if (r.placement.normalRect[0] < r.placement.normalRect[2])
                w->setGeometry(ontoScreen(rect));
        }
        if (m_options & fpState) {
            Qt::WindowStates state = w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
            if (r.showCmd == WindowPlacement::Minimized)
                state |= Qt::WindowMinimized;
            else if (r.showCmd == WindowPlacement::Maximized)
                state |= Qt::WindowMaximized;
            w->setWindowState(state);
        }
        for (const QString &entry : m_storedProps) {
            const StoredProperty sp = resolve(w, entry);
            if (sp.object)
                assign(sp, IniFile::readString(m_iniFileName, section(), sp.key, valueText(sp)).trimmed());
        }
    }
    m_restored = true;
}

void TFormStorage::save(bool destroying)
{
    if (!m_active || !m_window || !m_restored)
        return;
    QWidget *w = m_window;
    IniFile::Entries properties;
    for (const QString &entry : m_storedProps) {
        const StoredProperty sp = resolve(w, entry);
        if (sp.object)
            properties.append({sp.key, valueText(sp)});
    }
    PlacementFile::save(m_iniFileName, section(), m_version, placementOf(w, true), screenNow(w), destroying,
                        properties);
    m_saved = true;
}

void TFormStorage::SavePlacement()
{
    save(false);
}

void TFormStorage::saveIfNotSaved()
{
    if (m_saved)
        return;
    try {
        save(true);
    } catch (const AppError &) {
        // The program is ending; there is nobody left to tell.
    }
}
