#pragma once
#include "ProgramFolder.h"
#include "HtmlPage.h"
#include "HtmlSettings.h"

#include <QByteArray>
#include <QDialog>
#include <QPointer>
#include <QUrl>
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
class QTemporaryFile;
class QTimer;
class QVBoxLayout;
class QWebEngineProfile;
class QWebEngineView;
class SpinEdit;
class StringTable;

// "HTML výstup": the ride log as an HTML page in a live preview, the
// page's look (fonts, colours, border, title, cutting of long texts) kept
// in store.ini, and the page saved to a file or printed. Modal; made anew
// for every opening. The preview follows every change at once: a dialog, a
// button or the check box when it is done, the text and number fields once
// the keys at hand are handled (the browser drops a page that a newer one
// overtakes before it is shown). It shows at most the first kPreviewRides
// rides; "Uložit" and "Tisk" always take the whole page, built then from
// the newest settings. The look is stored however the window is closed.
class ExportWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kPreviewRides = HtmlPage::kPreviewRides;

    // `settings` is the program's one record of the page's look; it is
    // reloaded from store.ini at every opening.
    ExportWindow(StringTable &log, HtmlSettings &settings, const ProgramFolder::Location &where,
              QWidget *parent = nullptr);
    ~ExportWindow() override;

    // While the window is open, the keeper knows the page's look, so that
    // the program writes it when it is told to end.
    void setDataKeeper(DataKeeper *keeper) { m_keeper = keeper; }
    // The rides a filter shows, as a table of their own that outlives the
    // window: the page holds only those while "jen zobrazené jízdy" is
    // checked (it is at first).
    void offerShownRides(const StringTable *shownRides);

    // The printer that "Tisk" prints on and "Vzhled stránky" sets up.
    QPrinter *printer() const { return m_printer.get(); }
    bool isPrinting() const { return m_printing; }

    QFrame *previewPanel = nullptr;
    QWebEngineView *preview = nullptr;
    // Under the preview: what it leaves out, and what went wrong with it.
    QLabel *previewLabel = nullptr;
    QFrame *optionsPanel = nullptr;
    QPushButton *tableFontButton = nullptr;
    QPushButton *titleFontButton = nullptr;
    QPushButton *borderSizeButton = nullptr;
    SpinEdit *borderSizeBox = nullptr;
    QPushButton *pageColourButton = nullptr;
    QPushButton *cellColourButton = nullptr;
    QPushButton *borderColourButton = nullptr;
    QLineEdit *titleEdit = nullptr;
    QCheckBox *cutTextsBox = nullptr;
    // "jen zobrazené jízdy": only while the main window's filter is on.
    QCheckBox *onlyShownBox = nullptr;
    SpinEdit *cutLengthBox = nullptr;
    QLabel *cutLengthLabel = nullptr;
    QPushButton *originalLookButton = nullptr;
    QPushButton *factoryLookButton = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *printButton = nullptr;
    QPushButton *pageSetupButton = nullptr;
    QPushButton *closeButton = nullptr;

    FontColorDialog *fontDialog = nullptr;
    QColorDialog *colourDialog = nullptr;
    QFileDialog *saveDialog = nullptr;

    // Reads section HtmlSet into the settings and the three controls.
    void loadSettings();
    // Writes all thirteen keys. Throws AppError("Unable to write to ...").
    void saveSettings();
    // Builds the preview page from the settings and the controls and
    // shows it.
    void buildPage();
    // A change in a text or number field is not in the page yet.
    bool isRebuildPending() const;

    void done(int result) override;

signals:
    // A print (or PDF) started by "Tisk" has ended.
    void printingFinished(bool ok);

private:
    void afterShown();
    void chooseTableFont();
    void chooseTitleFont();
    void choosePageColour();
    void chooseCellColour();
    void chooseBorderColour();
    void borderSizeClicked();
    void borderSizeChanged();
    void cutTextsToggled();
    void restoreOriginalLook();
    void restoreFactoryLook();
    void savePage();
    void print();
    void pageSetup();

    // The window's controls, step by step.
    void buildControls();
    void buildPreviewPanel();
    void createRebuildTimer();
    void buildOptionsPanel();
    void createLookButtons();
    QLabel *createTitleField();
    void createCutFields();
    void layOutOptionsPanel(QLabel *titleLabel);
    QVBoxLayout *createCommandButtons();
    void layOutWindow(QVBoxLayout *commands);
    void createDialogs();
    void connectControls();
    void chooseFont(QString &name, qint32 &size, qint32 &color);
    void chooseColor(qint32 &color);
    void putBorderSize();
    // The stored look with what the title, cutting and its length show.
    HtmlSettings currentSettings() const;
    void showPreview(const QString &path);
    void showUnwrittenPreview(const QByteArray &page, const QString &failure);
    void previewRendererEnded();
    void updateNote();
    void startPrint();
    void sendToPrinter();
    void printDone(bool ok);
    // Builds at once after a change that comes as a whole (a click), or
    // once the keys at hand are handled; nothing while the settings load.
    void rebuildNow();
    void rebuild();
    void flushRebuild();
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    StringTable &m_log;
    const StringTable *m_shownRides = nullptr;
    // The rides the page holds.
    const StringTable &pageRides() const;
    HtmlSettings &m_settings;
    ProgramFolder::Location m_where;
    QString m_iniPath;
    QWebEngineProfile *m_profile = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    QTimer *m_rebuildTimer = nullptr;
    QUrl m_previewUrl;
    // The preview page when temp.html cannot be written.
    std::unique_ptr<QTemporaryFile> m_unwrittenPreview;
    int m_previewRestarts = 0; // renderer restarts since the last build
    QString m_rideNote, m_fileNote, m_rendererNote, m_fontNote;
    // The whole page being printed, in a view that is never shown.
    QPointer<QWebEngineView> m_printView;
    std::unique_ptr<QTemporaryFile> m_printFile;
    bool m_shown = false;
    bool m_loading = false;
    bool m_printing = false;
    bool m_closeAfterPrint = false;
    QString m_lastSaveName;
    DataKeeper *m_keeper = nullptr;
    // Where store.ini was kept before a font name it held was cleaned.
    QString m_keptSettingsCopy;
};

// The one export window while it is open.
extern ExportWindow *theExportWindow;
