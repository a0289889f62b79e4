#pragma once
#include <QObject>
#include <QPointer>
#include <QStringList>

class QWidget;

// Keeps a window's placement and a few of its controls' properties in the
// settings file between runs: restored when the window opens, saved when
// it closes.
class TFormStorage : public QObject
{
    Q_OBJECT
public:
    enum Option { fpState = 0x1, fpPosition = 0x2 };
    Q_DECLARE_FLAGS(Options, Option)

    explicit TFormStorage(QWidget *window);

    QString IniFileName() const { return m_iniFileName; }
    void setIniFileName(const QString &path) { m_iniFileName = path; }
    // Empty means the class name of the window.
    QString IniSection() const { return m_iniSection; }
    void setIniSection(const QString &section) { m_iniSection = section; }
    // The section actually used.
    QString section() const;
    Options options() const { return m_options; }
    void setOptions(Options options) { m_options = options; }
    // "Component.Property", each kept under the key "Component_Property".
    QStringList StoredProps() const { return m_storedProps; }
    void setStoredProps(const QStringList &props) { m_storedProps = props; }
    int Version() const { return m_version; }
    void setVersion(int version) { m_version = version; }
    bool Active() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    // Before the window is shown: its size, position, state and the stored
    // properties as the file has them.
    void RestorePlacement();
    // Writes the window's section; nothing before the window was restored.
    // Throws AppError("Unable to write to <path>").
    void SavePlacement();
    // The window is going away without having been saved since it was
    // restored: save once more, saying so. Failures are not shown.
    void saveIfNotSaved();

    bool isRestored() const { return m_restored; }
    bool isSaved() const { return m_saved; }

private:
    void save(bool destroying);

    QPointer<QWidget> m_window;
    QString m_iniFileName;
    QString m_iniSection;
    Options m_options = Options(fpState) | fpPosition;
    QStringList m_storedProps;
    int m_version = 0;
    bool m_active = true;
    bool m_restored = false;
    bool m_saved = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFormStorage::Options)
