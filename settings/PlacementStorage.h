#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

class QWidget;

// Keeps a window's placement and a few of its controls' properties in the
// settings file between runs: restored when the window opens, saved when
// it closes.
class PlacementStorage : public QObject
{
    Q_OBJECT
public:
    // section: the window's section in the settings file, as the rider's
    // files have always named it ("TForm1" for the main window).
    PlacementStorage(QWidget *window, const QString &section);

    QString iniFileName() const { return m_iniFileName; }
    void setIniFileName(const QString &path) { m_iniFileName = path; }
    const QString &section() const { return m_section; }
    // An integer or Boolean property of a control (or of the window) kept
    // under `key` in the window's section. The property is found by its
    // name in any letter case; a writable one goes before a read-only one
    // of the same name (a panel's own "Width" before QWidget's "width").
    void keepProperty(const QString &key, QObject *object, const char *property);

    // Before the window is shown: its size, position, state and the kept
    // properties as the file has them.
    void restorePlacement();
    // Writes the window's section; nothing before the window was restored.
    // Throws AppError("Unable to write to <path>").
    void savePlacement();
    // For a dialog's showEvent: the first time it is shown, its placement
    // read from `iniFileName`. A failure is shown in the error box and the
    // window opens where it would have.
    void restoreOnFirstShow(const QString &iniFileName);
    // For a dialog's done(): its placement written; a failure is shown in
    // the error box and the window closes all the same.
    void saveOnClose();
    // The window is going away without having been saved since it was
    // restored: save once more, saying so. Failures are not shown.
    void saveIfNotSaved();

    bool isRestored() const { return m_restored; }
    bool isSaved() const { return m_saved; }

private:
    struct KeptProperty
    {
        QString key;
        QPointer<QObject> object;
        QByteArray property;
    };
    void save(bool destroying);

    QPointer<QWidget> m_window;
    QString m_iniFileName;
    QString m_section;
    std::vector<KeptProperty> m_kept;
    bool m_restored = false;
    bool m_shown = false;
    bool m_saved = false;
};
