#include "UnitHTML.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "Cp1250Validator.h"
#include "DataKeeper.h"
#include "FontColorDialog.h"
#include "HtmlPage.h"
#include "Messages.h"
#include "SaveDialog.h"
#include "SpinEdit.h"
#include "TPubStrGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <limits>

TFormHTML *FormHTML = nullptr;

namespace {
// The preview shows the page file and nothing else: no scripts, no other
// local files, no navigation away from it.
class PreviewPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;
    QUrl allowed;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        return isMainFrame && url.adjusted(QUrl::RemoveFragment) == allowed;
    }
};

PreviewPage *previewPage(QWebEngineProfile *profile, QWebEngineView *view)
{
    auto *page = new PreviewPage(profile, view);
    QWebEngineSettings *ws = page->settings();
    ws->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    ws->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    ws->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    ws->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    view->setPage(page);
    return page;
}

// A page file of the program's own outside the program folder, deleted
// with the object.
std::unique_ptr<QTemporaryFile> temporaryPage(const char *name, const QByteArray &page)
{
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + u'/' + QLatin1String(name)
                                                 + QStringLiteral("-XXXXXX.html"));
    if (!file->open() || file->write(page) != page.size() || !file->flush())
        return nullptr;
    file->close();
    return file;
}

QString ridesText(qsizetype n)
{
    return QLocale(QLocale::Czech).toString(n);
}

QPushButton *button(const QString &name, const QString &text, int width, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setMinimumWidth(width);
    // Enter in a field of the window presses no button.
    b->setAutoDefault(false);
    return b;
}

QPalette withBackground(QPalette p, QRgb rgb)
{
    p.setColor(QPalette::Window, QColor(rgb));
    return p;
}
} // namespace

TFormHTML::TFormHTML(TPubStrGrid &log, HtmlSettings &settings, const ProgramFolder::Location &where,
                     QWidget *parent)
    : QDialog(parent), m_log(log), m_settings(settings), m_where(where),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    m_iniPath = m_where.settings();
    setObjectName(QStringLiteral("FormHTML"));
    FormHTML = this;
    setWindowTitle(QStringLiteral("HTML výstup"));
    setModal(true);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    setFont(f);
    setAutoFillBackground(true);
    setPalette(withBackground(palette(), qRgb(0xC0, 0xC0, 0xC0)));
    buildControls();
    resize(std::max(622, minimumSizeHint().width()), std::max(365, minimumSizeHint().height()));
}

TFormHTML::~TFormHTML()
{
    if (m_keeper)
        m_keeper->letGo(QStringLiteral("export look"));
    // The pages go before their profile.
    delete WebBrowser1;
    delete m_printView.data();
    if (FormHTML == this)
        FormHTML = nullptr;
}

void TFormHTML::buildControls()
{
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setMinimumHeight(120);
    m_profile = new QWebEngineProfile(this); // off the record: nothing kept on disk
    WebBrowser1 = new QWebEngineView(Panel2);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    PreviewPage *page = previewPage(m_profile, WebBrowser1);
    WebBrowser1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(WebBrowser1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(this);
        menu.addAction(WebBrowser1->pageAction(QWebEnginePage::Copy));
        menu.addAction(WebBrowser1->pageAction(QWebEnginePage::SelectAll));
        menu.exec(WebBrowser1->mapToGlobal(pos));
    });
    LblNahled = new QLabel(Panel2);
    LblNahled->setObjectName(QStringLiteral("LblNahled"));
    // Names from store.ini and error texts are shown, never read as markup.
    LblNahled->setTextFormat(Qt::PlainText);
    LblNahled->setWordWrap(true);
    LblNahled->setContentsMargins(4, 2, 4, 2);
    LblNahled->setAutoFillBackground(true);
    LblNahled->setPalette(withBackground(palette(), qRgb(0xFF, 0xFF, 0xE1)));
    LblNahled->hide();
    auto *previewLayout = new QVBoxLayout(Panel2);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->setSpacing(0);
    previewLayout->addWidget(WebBrowser1, 1);
    previewLayout->addWidget(LblNahled);
    m_rebuildTimer = new QTimer(this);
    m_rebuildTimer->setSingleShot(true);
    m_rebuildTimer->setInterval(0);
    connect(m_rebuildTimer, &QTimer::timeout, this, guardedSlot(this, &TFormHTML::BuildPage));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    Panel1->setPalette(withBackground(palette(), qRgb(0xD1, 0xA5, 0xA5)));

    BtnFontTable = button(QStringLiteral("BtnFontTable"), QStringLiteral("Font Tabulky"), 105, Panel1);
    BtnFontTitle = button(QStringLiteral("BtnFontTitle"), QStringLiteral("Font Titulku"), 105, Panel1);
    BtnBorderSize = button(QStringLiteral("BtnBorderSize"), QStringLiteral("Okraj        "), 105, Panel1);
    BtnBodyColor = button(QStringLiteral("BtnBodyColor"), QStringLiteral("Barva pozadí"), 105, Panel1);
    BtnCellColor = button(QStringLiteral("BtnCellColor"), QStringLiteral("Barva tabulky"), 105, Panel1);
    BtnBorderColor = button(QStringLiteral("BtnBorderColor"), QStringLiteral("Barva okraje"), 105, Panel1);

    // The width field lies over the right part of its button.
    SpinBorder = new SpinEdit(BtnBorderSize);
    SpinBorder->setObjectName(QStringLiteral("SpinBorder"));
    SpinBorder->setRange(HtmlSettings::kMinBorder, HtmlSettings::kMaxBorder);
    SpinBorder->setValue(0);
    const int spinWidth = SpinBorder->sizeHint().width();
    BtnBorderSize->setMinimumWidth(
        std::max(105, BtnBorderSize->fontMetrics().horizontalAdvance(QStringLiteral("Okraj")) + spinWidth + 16));
    BtnBorderSize->installEventFilter(this);

    auto *titleLabel = new QLabel(QStringLiteral("Titulek: "), Panel1);
    LblTitle = new QLineEdit(QStringLiteral("Trasovník HTML výstup"), Panel1);
    LblTitle->setObjectName(QStringLiteral("LblTitle"));
    LblTitle->setMaxLength(std::numeric_limits<int>::max());
    LblTitle->setMinimumWidth(240);
    // The title is stored in store.ini, in Windows-1250.
    keepStorable(LblTitle);
    titleLabel->setBuddy(LblTitle);

    Checkwrap = new QCheckBox(QStringLiteral("Nezalamovat, zkrátit na "), Panel1);
    Checkwrap->setObjectName(QStringLiteral("Checkwrap"));
    Checkwrap->setChecked(true);
    spinwrap = new SpinEdit(Panel1);
    spinwrap->setObjectName(QStringLiteral("spinwrap"));
    spinwrap->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    spinwrap->setValue(36);
    spinwrap->setMinimumWidth(spinwrap->fontMetrics().horizontalAdvance(QStringLiteral("99999")) + 30);
    Label1 = new QLabel(QStringLiteral("znaků"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));

    btnReset = button(QStringLiteral("btnReset"), QStringLiteral("Původní hodnoty"), 138, Panel1);
    Button1 = button(QStringLiteral("Button1"), QStringLiteral("Tovární hodnoty"), 129, Panel1);

    auto *grid = new QGridLayout(Panel1);
    grid->setContentsMargins(6, 6, 8, 6);
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(5);
    grid->addWidget(BtnFontTable, 0, 0);
    grid->addWidget(BtnFontTitle, 1, 0);
    grid->addWidget(BtnBorderSize, 2, 0);
    grid->addWidget(BtnBodyColor, 0, 1);
    grid->addWidget(BtnCellColor, 1, 1);
    grid->addWidget(BtnBorderColor, 2, 1);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(3);
    titleRow->addWidget(titleLabel);
    titleRow->addWidget(LblTitle, 1);
    grid->addLayout(titleRow, 0, 2);
    auto *wrapRow = new QHBoxLayout;
    wrapRow->setSpacing(3);
    wrapRow->addWidget(Checkwrap);
    wrapRow->addWidget(spinwrap);
    wrapRow->addWidget(Label1);
    wrapRow->addStretch(1);
    grid->addLayout(wrapRow, 1, 2);
    auto *resetRow = new QHBoxLayout;
    resetRow->setSpacing(3);
    resetRow->addWidget(btnReset);
    resetRow->addWidget(Button1);
    resetRow->addStretch(1);
    grid->addLayout(resetRow, 2, 2);
    grid->setColumnStretch(2, 1);

    BtnSave = button(QStringLiteral("BtnSave"), QStringLiteral("Uložit"), 89, this);
    BtnTisk = button(QStringLiteral("BtnTisk"), QStringLiteral("Tisk"), 89, this);
    btnVzhled = button(QStringLiteral("btnVzhled"), QStringLiteral("Vzhled stránky"), 89, this);
    btnStorno = button(QStringLiteral("btnStorno"), QStringLiteral("Zavřít"), 89, this);
    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    for (QPushButton *b : {BtnSave, BtnTisk, btnVzhled, btnStorno})
        buttons->addWidget(b);
    buttons->addStretch(1);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    bottom->addWidget(Panel1, 1);
    bottom->addLayout(buttons);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 5, 3);
    outer->setSpacing(6);
    outer->addWidget(Panel2, 1);
    auto *bottomIndent = new QHBoxLayout;
    bottomIndent->setContentsMargins(3, 0, 0, 0);
    bottomIndent->addLayout(bottom);
    outer->addLayout(bottomIndent);

    FontDialog1 = new FontColorDialog(this);
    FontDialog1->setObjectName(QStringLiteral("FontDialog1"));
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ColorDialog1->setWindowTitle(QStringLiteral("Barva"));
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    setUpSaveDialog(*SaveDialog1, QStringLiteral("Html soubor (*.htm *.html)"), QStringLiteral("htm"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);

    connect(BtnFontTable, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::BtnFontTableClick));
    connect(BtnFontTitle, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::BtnFontTitleClick));
    connect(BtnBodyColor, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::BtnBodyColorClick));
    connect(BtnCellColor, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::BtnCellColorClick));
    connect(BtnBorderColor, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::BtnBorderColorClick));
    connect(BtnBorderSize, &QPushButton::clicked, this, &TFormHTML::BtnBorderSizeClick);
    connect(SpinBorder, &SpinEdit::textValueChanged, this, guardedSlot(this, &TFormHTML::SpinBorderChange));
    connect(LblTitle, &QLineEdit::textChanged, this, guardedSlot(this, &TFormHTML::rebuild));
    connect(Checkwrap, &QCheckBox::toggled, this, guardedSlot(this, &TFormHTML::CheckwrapClick));
    connect(spinwrap, &SpinEdit::textValueChanged, this, guardedSlot(this, &TFormHTML::rebuild));
    connect(btnReset, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::btnResetClick));
    connect(Button1, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::Button1Click));
    connect(BtnSave, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::BtnSaveClick));
    connect(BtnTisk, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::BtnTiskClick));
    connect(btnVzhled, &QPushButton::clicked, this, guardedSlot(this, &TFormHTML::btnVzhledClick));
    connect(btnStorno, &QPushButton::clicked, this, &QWidget::close);
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    previewRendererEnded();
            });
}

bool TFormHTML::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == BtnBorderSize && event->type() == QEvent::Resize) {
        const QSize hint = SpinBorder->sizeHint();
        const int h = std::min(hint.height(), BtnBorderSize->height());
        SpinBorder->setGeometry(BtnBorderSize->width() - hint.width(), (BtnBorderSize->height() - h) / 2,
                                hint.width(), h);
    }
    return QDialog::eventFilter(watched, event);
}

void TFormHTML::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (QWidget *owner = parentWidget()) {
        const QRect over = owner->window()->frameGeometry();
        move(over.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    runGuarded([this] { FormShow(); });
}

void TFormHTML::FormShow()
{
    {
        m_loading = true;
        const auto loaded = qScopeGuard([this] { m_loading = false; });
        LoadHtmlSettings();
        putBorderSize();
    }
    if (m_keeper) {
        DataKeeper::Data data;
        data.path = m_iniPath;
        data.partOfFile = true;
        data.write = [this](const QString &target) { HtmlSettingsFile::save(target, currentSettings()); };
        data.version = [this] { return quint64(qHash(currentSettings())); };
        m_keeper->hold(QStringLiteral("export look"), data);
    }
    BuildPage();
}

void TFormHTML::LoadHtmlSettings()
{
    // The last three are held by their controls; building and saving take
    // them from there.
    QStringList cleaned;
    m_settings = HtmlSettingsFile::load(m_iniPath, &cleaned);
    if (cleaned.isEmpty()) {
        m_fontNote.clear();
    } else {
        // The closing writes the cleaned name over the stored one: the file
        // as it was is kept first.
        if (m_keptSettingsCopy.isEmpty()) {
            const DataKeeper local(m_where.folder, m_where.folder);
            m_keptSettingsCopy = (m_keeper ? *m_keeper : local).keepDamaged(m_iniPath);
        }
        m_fontNote = QStringLiteral("Název písma „%1“ ze souboru store.ini obsahoval znaky, které název písma "
                                    "mít nemůže; byly vynechány.")
                         .arg(excerpt(cleaned.constFirst(), 40));
        if (!m_keptSettingsCopy.isEmpty())
            m_fontNote += QStringLiteral(" Původní soubor je uložen jako „%1“.").arg(m_keptSettingsCopy);
    }
    LblTitle->setText(m_settings.Title);
    Checkwrap->setChecked(m_settings.usewrap);
    spinwrap->setTextValue(m_settings.zkraceni);
}

void TFormHTML::SaveHtmlSettings()
{
    m_settings = currentSettings();
    HtmlSettingsFile::save(m_iniPath, m_settings);
}

void TFormHTML::putBorderSize()
{
    m_settings.BorderSize = std::clamp(m_settings.BorderSize, HtmlSettings::kMinBorder, HtmlSettings::kMaxBorder);
    SpinBorder->setTextValue(m_settings.BorderSize);
}

HtmlSettings TFormHTML::currentSettings() const
{
    HtmlSettings s = m_settings;
    s.Title = LblTitle->text();
    s.usewrap = Checkwrap->isChecked();
    s.zkraceni = spinwrap->textValue();
    return s;
}

void TFormHTML::BuildPage()
{
    m_rebuildTimer->stop();
    const BuiltPage built = BuildHtmlPage(currentSettings(), m_log, m_where,
                                          [this](const QString &path) { showPreview(path); }, kPreviewRides);
    if (built.failure.isEmpty()) {
        m_fileNote.clear();
        m_unwrittenPreview.reset();
    } else {
        showUnwrittenPreview(built.bytes, built.failure);
    }
    const int rides = std::max(0, m_log.RowCount() - 1);
    m_rideNote = rides <= kPreviewRides
                     ? QString()
                     : QStringLiteral("Náhled ukazuje prvních %1 z %2 jízd. Uložená a vytištěná stránka "
                                      "obsahuje všech %2 jízd.")
                           .arg(ridesText(kPreviewRides), ridesText(rides));
    m_previewRestarts = 0;
    m_rendererNote.clear();
    updateNote();
}

bool TFormHTML::isRebuildPending() const
{
    return m_rebuildTimer->isActive();
}

void TFormHTML::rebuildNow()
{
    // While the settings load, the controls change one after another; one
    // build follows at the end with all of them.
    if (!m_loading)
        BuildPage();
}

void TFormHTML::rebuild()
{
    // Keys handled in one pass of the event loop (a burst of them, or the
    // steps of one edit) make one page. A keystroke after them builds the
    // next page without waiting for the one before to show: the browser
    // drops the older page, and the preview is one page load behind the
    // last keystroke, however fast the rider types.
    if (!m_loading && !m_rebuildTimer->isActive())
        m_rebuildTimer->start();
}

void TFormHTML::flushRebuild()
{
    if (isRebuildPending())
        BuildPage();
}

void TFormHTML::showPreview(const QString &path)
{
    m_previewUrl = QUrl::fromLocalFile(path);
    static_cast<PreviewPage *>(WebBrowser1->page())->allowed = m_previewUrl;
    WebBrowser1->load(m_previewUrl);
}

void TFormHTML::showUnwrittenPreview(const QByteArray &page, const QString &failure)
{
    // The preview still shows the new page, from a file of its own.
    m_unwrittenPreview = temporaryPage("trasovnik-nahled", page);
    if (m_unwrittenPreview) {
        m_fileNote = QStringLiteral("Soubor náhledu nelze zapsat (%1). Náhled se zobrazuje z dočasného souboru.")
                         .arg(failure);
        showPreview(m_unwrittenPreview->fileName());
    } else {
        m_fileNote = QStringLiteral("Soubor náhledu nelze zapsat (%1). Náhled nelze zobrazit.").arg(failure);
    }
}

void TFormHTML::previewRendererEnded()
{
    // Said in the window, and the page loaded again in a new renderer; a
    // renderer that keeps ending is not restarted for ever.
    if (m_previewRestarts < 2) {
        ++m_previewRestarts;
        m_rendererNote = QStringLiteral("Zobrazování náhledu selhalo (proces prohlížeče skončil). Náhled se "
                                        "načítá znovu.");
        QTimer::singleShot(0, this, [this] {
            if (!m_previewUrl.isEmpty())
                WebBrowser1->load(m_previewUrl);
        });
    } else {
        m_rendererNote = QStringLiteral("Náhled nelze zobrazit: proces prohlížeče opakovaně skončil.");
    }
    updateNote();
}

void TFormHTML::updateNote()
{
    QStringList lines;
    for (const QString *note : {&m_rendererNote, &m_fileNote, &m_fontNote, &m_rideNote})
        if (!note->isEmpty())
            lines.append(*note);
    LblNahled->setText(lines.join(u'\n'));
    LblNahled->setVisible(!lines.isEmpty());
}

void TFormHTML::chooseFont(QString &name, qint32 &size, qint32 &color)
{
    FontDialog1->setFamily(name);
    FontDialog1->setPointSize(size);
    FontDialog1->setColor(colorValueToRgb(color));
    if (FontDialog1->exec() != QDialog::Accepted)
        return;
    name = FontDialog1->family();
    size = FontDialog1->pointSize();
    color = rgbToColorValue(FontDialog1->color());
    BuildPage();
}

void TFormHTML::chooseColor(qint32 &color)
{
    ColorDialog1->setCurrentColor(QColor(colorValueToRgb(color)));
    if (ColorDialog1->exec() == QDialog::Accepted)
        color = rgbToColorValue(ColorDialog1->selectedColor().rgb());
    BuildPage();
}

void TFormHTML::BtnFontTableClick()
{
    chooseFont(m_settings.FontTableName, m_settings.FontTableSize, m_settings.FontTableColor);
}

void TFormHTML::BtnFontTitleClick()
{
    chooseFont(m_settings.FontTitleName, m_settings.FontTitleSize, m_settings.FontTitleColor);
}

void TFormHTML::BtnBodyColorClick()
{
    chooseColor(m_settings.BodyColor);
}

void TFormHTML::BtnCellColorClick()
{
    chooseColor(m_settings.TableColor);
}

void TFormHTML::BtnBorderColorClick()
{
    chooseColor(m_settings.BorderColor);
}

void TFormHTML::BtnBorderSizeClick()
{
    SpinBorder->setFocus(Qt::OtherFocusReason);
    SpinBorder->selectAll();
}

void TFormHTML::SpinBorderChange()
{
    m_settings.BorderSize = SpinBorder->textValue();
    rebuild();
}

void TFormHTML::CheckwrapClick()
{
    spinwrap->setEnabled(Checkwrap->isChecked());
    rebuildNow();
}

void TFormHTML::btnResetClick()
{
    FormShow();
}

void TFormHTML::Button1Click()
{
    HtmlSettingsFile::erase(m_iniPath);
    btnResetClick();
}

void TFormHTML::BtnSaveClick()
{
    flushRebuild();
    SaveHtmlSettings();
    if (!m_lastSaveName.isEmpty())
        SaveDialog1->selectFile(m_lastSaveName);
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return;
    m_lastSaveName = SaveDialog1->selectedFiles().constFirst();
    // The whole page, however many rides the preview leaves out.
    AtomicWrite::replaceFile(m_lastSaveName, HtmlPage::bytes(currentSettings(), m_log));
    rememberFolder(SaveDialog1->defaultSuffix(), m_lastSaveName);
}

void TFormHTML::BtnTiskClick()
{
    if (m_printing)
        return;
    flushRebuild();
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Tisk"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printing = true;
    BtnTisk->setEnabled(false);
    btnVzhled->setEnabled(false);
    startPrint();
}

void TFormHTML::startPrint()
{
    // The whole page, which may hold far more rides than the preview, is
    // loaded into a view of its own that is never shown.
    m_printFile = temporaryPage("trasovnik-tisk", HtmlPage::bytes(currentSettings(), m_log));
    if (!m_printFile) {
        printDone(false);
        return;
    }
    m_printView = new QWebEngineView(this);
    m_printView->setObjectName(QStringLiteral("PrintView"));
    m_printView->setAttribute(Qt::WA_DontShowOnScreen);
    PreviewPage *page = previewPage(m_profile, m_printView);
    page->allowed = QUrl::fromLocalFile(m_printFile->fileName());
    connect(m_printView, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok)
            sendToPrinter();
        else
            printDone(false);
    }, Qt::SingleShotConnection);
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this] { printDone(false); });
    connect(m_printView, &QWebEngineView::printFinished, this, &TFormHTML::printDone);
    m_printView->load(page->allowed);
}

void TFormHTML::sendToPrinter()
{
    if (m_printer->outputFormat() != QPrinter::PdfFormat || m_printer->outputFileName().isEmpty()) {
        m_printView->print(m_printer.get());
        return;
    }
    // Straight from the engine: a PDF whose text can be searched and
    // copied. The program writes the file itself, like every file it
    // makes (the engine's own writer would make it readable by its owner
    // only).
    const QString target = m_printer->outputFileName();
    m_printView->page()->printToPdf(
        [this, target](const QByteArray &pdf) {
            printDone(!pdf.isEmpty() && failureOf([&] { AtomicWrite::replaceFile(target, pdf); }).isEmpty());
        },
        m_printer->pageLayout(), m_printer->pageRanges());
}

void TFormHTML::printDone(bool ok)
{
    if (!m_printing)
        return;
    m_printing = false;
    BtnTisk->setEnabled(true);
    btnVzhled->setEnabled(true);
    // The view goes once its signal has returned; its renderer with it.
    if (m_printView)
        m_printView->deleteLater();
    m_printFile.reset();
    emit printingFinished(ok);
    if (!ok)
        Messages::instance().failure(QStringLiteral("Stránku se nepodařilo vytisknout."));
    if (m_closeAfterPrint) {
        m_closeAfterPrint = false;
        close();
    }
}

void TFormHTML::btnVzhledClick()
{
    if (m_printing)
        return;
    QPageSetupDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Vzhled stránky"));
    dialog.exec();
}

void TFormHTML::done(int result)
{
    // The printer must live until its print is done: the window closes
    // then.
    if (m_printing) {
        m_closeAfterPrint = true;
        return;
    }
    const QString failure = failureOf([this] { SaveHtmlSettings(); });
    // The program is ending: the keeper has written the look (or kept it).
    if (!failure.isEmpty() && !(m_keeper && m_keeper->isEnding())) {
        Messages::instance().failure(failure);
        // The window stays open so that the look is not lost, but the
        // rider is never kept in it.
        const int answer = Messages::instance().choose(
            QStringLiteral("Vzhled stránky se nepodařilo uložit. Zavřít okno i tak?"),
            {QStringLiteral("Ano"), QStringLiteral("Ne")}, 1, 1);
        if (answer != 0)
            return;
    }
    QDialog::done(result);
}
