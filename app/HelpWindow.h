#pragma once
#include <QDialog>

class QTextBrowser;

// Opens a file with the desktop's own program for its kind; false when the
// desktop has none for it (on most Linux desktops nothing opens a compiled
// help file).
bool openWithDesktopProgram(const QString &path);

// The program's own help, shown without a browser.
class HelpWindow : public QDialog
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent);

    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
};
