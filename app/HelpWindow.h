#pragma once
#include <QDialog>

class QTextBrowser;

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
