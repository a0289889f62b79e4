#pragma once
#include "HtmlSettings.h"

#include <QByteArray>
#include <QDialog>
#include <memory>

class DataKeeper;
class FontColorDialog;
class QCheckBox;
class QColorDialog;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QWebEngineProfile;
class QWebEngineView;
class SpinEdit;
class TPubStrGrid;

// "HTML výstup": the ride log as an HTML page in a live preview, the
// page's look (fonts, colours, border, title, cutting of long texts) kept
// in store.ini, and the page saved to a file or printed. Modal; made anew
// for every opening. Every change rebuilds the page at once, and the look
// is stored however the window is closed.
class TFormHTML : public QDialog
{
    Q_OBJECT
public:
    // `settings` is the program's one record of the page's look; it is
    // reloaded from store.ini at every opening.
    TFormHTML(TPubStrGrid &log, HtmlSettings &settings, const QString &programFolder, QWidget *parent = nullptr);
    ~TFormHTML() override;

    // While the window is open, the keeper knows the page's look, so that
    // the program writes it when it is told to end.
    void setDataKeeper(DataKeeper *keeper) { m_keeper = keeper; }

    // The printer that "Tisk" prints on and "Vzhled stránky" sets up.
    QPrinter *printer() const { return m_printer.get(); }
    bool isPrinting() const { return m_printing; }

    QFrame *Panel2 = nullptr;
    QWebEngineView *WebBrowser1 = nullptr;
    QFrame *Panel1 = nullptr;
    QPushButton *BtnFontTable = nullptr;
    QPushButton *BtnFontTitle = nullptr;
    QPushButton *BtnBorderSize = nullptr;
    SpinEdit *SpinBorder = nullptr;
    QPushButton *BtnBodyColor = nullptr;
    QPushButton *BtnCellColor = nullptr;
    QPushButton *BtnBorderColor = nullptr;
    QLineEdit *LblTitle = nullptr;
    QCheckBox *Checkwrap = nullptr;
    SpinEdit *spinwrap = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *btnReset = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *BtnSave = nullptr;
    QPushButton *BtnTisk = nullptr;
    QPushButton *btnVzhled = nullptr;
    QPushButton *btnStorno = nullptr;

    FontColorDialog *FontDialog1 = nullptr;
    QColorDialog *ColorDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;

    // Reads section HtmlSet into the settings and the three controls.
    void LoadHtmlSettings();
    // Writes all thirteen keys. Throws AppError("Unable to write to ...").
    void SaveHtmlSettings();
    // Builds the page from the settings and the controls and shows it.
    void BuildPage();

    void done(int result) override;

signals:
    // A print (or PDF) started by "Tisk" has ended.
    void printingFinished(bool ok);

private:
    void FormShow();
    void BtnFontTableClick();
    void BtnFontTitleClick();
    void BtnBodyColorClick();
    void BtnCellColorClick();
    void BtnBorderColorClick();
    void BtnBorderSizeClick();
    void SpinBorderChange();
    void CheckwrapClick();
    void btnResetClick();
    void Button1Click();
    void BtnSaveClick();
    void BtnTiskClick();
    void btnVzhledClick();

    void buildControls();
    // The stored look with what the title, cutting and its length show.
    HtmlSettings lookShown() const;
    void chooseFont(QString &name, qint32 &size, qint32 &color);
    void chooseColor(qint32 &color);
    void putBorderSize();
    void showPreview(const QString &path);
    void printDone(bool ok);
    void rebuild();
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    TPubStrGrid &m_log;
    HtmlSettings &m_settings;
    QString m_programFolder;
    QString m_iniPath;
    QWebEngineProfile *m_profile = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    QByteArray m_page;   // the page last built, as temp.html holds it
    bool m_shown = false;
    bool m_loading = false;
    bool m_printing = false;
    bool m_previewWaiting = false; // a page built while printing
    bool m_closeAfterPrint = false;
    QString m_lastSaveName;
    DataKeeper *m_keeper = nullptr;
};

// The one export window while it is open.
extern TFormHTML *FormHTML;
