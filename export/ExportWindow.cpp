#include "ExportWindow.h"
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
#include "StringTable.h"

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

ExportWindow *theExportWindow = nullptr;

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

ExportWindow::ExportWindow(StringTable &log, HtmlSettings &settings, const ProgramFolder::Location &where,
                     QWidget *parent)
    : QDialog(parent), m_log(log), m_settings(settings), m_where(where),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    m_iniPath = m_where.settings();
    setObjectName(QStringLiteral("ExportWindow"));
    theExportWindow = this;
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

ExportWindow::~ExportWindow()
{
    if (m_keeper)
        m_keeper->letGo(QStringLiteral("export look"));
    // The pages go before their profile.
    delete preview;
    delete m_printView.data();
    if (theExportWindow == this)
        theExportWindow = nullptr;
}

void ExportWindow::buildControls()
{
    buildPreviewPanel();
    createRebuildTimer();
    buildOptionsPanel();
    QVBoxLayout *commands = createCommandButtons();
    layOutWindow(commands);
    createDialogs();
    connectControls();
}

// The preview with the note under it.
void ExportWindow::buildPreviewPanel()
{
    previewPanel = new QFrame(this);
    previewPanel->setObjectName(QStringLiteral("previewPanel"));
    previewPanel->setMinimumHeight(120);
    m_profile = new QWebEngineProfile(this); // off the record: nothing kept on disk
    preview = new QWebEngineView(previewPanel);
    preview->setObjectName(QStringLiteral("preview"));
    previewPage(m_profile, preview);
    preview->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(preview, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(this);
        menu.addAction(preview->pageAction(QWebEnginePage::Copy));
        menu.addAction(preview->pageAction(QWebEnginePage::SelectAll));
        menu.exec(preview->mapToGlobal(pos));
    });
    previewLabel = new QLabel(previewPanel);
    previewLabel->setObjectName(QStringLiteral("previewLabel"));
    // Names from store.ini and error texts are shown, never read as markup.
    previewLabel->setTextFormat(Qt::PlainText);
    previewLabel->setWordWrap(true);
    previewLabel->setContentsMargins(4, 2, 4, 2);
    previewLabel->setAutoFillBackground(true);
    previewLabel->setPalette(withBackground(palette(), qRgb(0xFF, 0xFF, 0xE1)));
    previewLabel->hide();
    auto *previewLayout = new QVBoxLayout(previewPanel);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->setSpacing(0);
    previewLayout->addWidget(preview, 1);
    previewLayout->addWidget(previewLabel);
}

void ExportWindow::createRebuildTimer()
{
    m_rebuildTimer = new QTimer(this);
    m_rebuildTimer->setSingleShot(true);
    m_rebuildTimer->setInterval(0);
    connect(m_rebuildTimer, &QTimer::timeout, this, guardedSlot(this, &ExportWindow::buildPage));
}

// The page's look: fonts, colours, border, title and the cutting of long
// texts.
void ExportWindow::buildOptionsPanel()
{
    optionsPanel = new QFrame(this);
    optionsPanel->setObjectName(QStringLiteral("optionsPanel"));
    optionsPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    optionsPanel->setAutoFillBackground(true);
    optionsPanel->setPalette(withBackground(palette(), qRgb(0xD1, 0xA5, 0xA5)));

    createLookButtons();
    QLabel *titleLabel = createTitleField();
    createCutFields();

    originalLookButton = button(QStringLiteral("originalLookButton"), QStringLiteral("Původní hodnoty"), 138, optionsPanel);
    factoryLookButton = button(QStringLiteral("factoryLookButton"), QStringLiteral("Tovární hodnoty"), 129, optionsPanel);

    layOutOptionsPanel(titleLabel);
}

// The buttons of the fonts, the colours and the border width.
void ExportWindow::createLookButtons()
{
    tableFontButton = button(QStringLiteral("tableFontButton"), QStringLiteral("Font Tabulky"), 105, optionsPanel);
    titleFontButton = button(QStringLiteral("titleFontButton"), QStringLiteral("Font Titulku"), 105, optionsPanel);
    borderSizeButton = button(QStringLiteral("borderSizeButton"), QStringLiteral("Okraj        "), 105, optionsPanel);
    pageColourButton = button(QStringLiteral("pageColourButton"), QStringLiteral("Barva pozadí"), 105, optionsPanel);
    cellColourButton = button(QStringLiteral("cellColourButton"), QStringLiteral("Barva tabulky"), 105, optionsPanel);
    borderColourButton = button(QStringLiteral("borderColourButton"), QStringLiteral("Barva okraje"), 105, optionsPanel);

    // The width field lies over the right part of its button.
    borderSizeBox = new SpinEdit(borderSizeButton);
    borderSizeBox->setObjectName(QStringLiteral("borderSizeBox"));
    borderSizeBox->setRange(HtmlSettings::kMinBorder, HtmlSettings::kMaxBorder);
    borderSizeBox->setValue(0);
    const int spinWidth = borderSizeBox->sizeHint().width();
    borderSizeButton->setMinimumWidth(
        std::max(105, borderSizeButton->fontMetrics().horizontalAdvance(QStringLiteral("Okraj")) + spinWidth + 16));
    borderSizeButton->installEventFilter(this);
}

// The title field; returns its label.
QLabel *ExportWindow::createTitleField()
{
    auto *titleLabel = new QLabel(QStringLiteral("Titulek: "), optionsPanel);
    titleEdit = new QLineEdit(QStringLiteral("Trasovník HTML výstup"), optionsPanel);
    titleEdit->setObjectName(QStringLiteral("titleEdit"));
    titleEdit->setMaxLength(std::numeric_limits<int>::max());
    titleEdit->setMinimumWidth(240);
    // The title is stored in store.ini, in Windows-1250.
    keepStorable(titleEdit);
    titleLabel->setBuddy(titleEdit);
    return titleLabel;
}

void ExportWindow::createCutFields()
{
    cutTextsBox = new QCheckBox(QStringLiteral("Nezalamovat, zkrátit na "), optionsPanel);
    cutTextsBox->setObjectName(QStringLiteral("cutTextsBox"));
    cutTextsBox->setChecked(true);
    cutLengthBox = new SpinEdit(optionsPanel);
    cutLengthBox->setObjectName(QStringLiteral("cutLengthBox"));
    cutLengthBox->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    cutLengthBox->setValue(36);
    cutLengthBox->setMinimumWidth(cutLengthBox->fontMetrics().horizontalAdvance(QStringLiteral("99999")) + 30);
    cutLengthLabel = new QLabel(QStringLiteral("znaků"), optionsPanel);
    cutLengthLabel->setObjectName(QStringLiteral("cutLengthLabel"));
    onlyShownBox = new QCheckBox(QStringLiteral("jen zobrazené jízdy"), optionsPanel);
    onlyShownBox->setObjectName(QStringLiteral("onlyShownBox"));
    onlyShownBox->hide();
    connect(onlyShownBox, &QCheckBox::toggled, this, [this] {
        if (m_shownRides)
            m_rebuildTimer->start();
    });
}

void ExportWindow::offerShownRides(const StringTable *shownRides)
{
    m_shownRides = shownRides;
    onlyShownBox->setVisible(shownRides);
    onlyShownBox->setChecked(shownRides);
    m_rebuildTimer->start();
}

const StringTable &ExportWindow::pageRides() const
{
    return m_shownRides && onlyShownBox->isChecked() ? *m_shownRides : m_log;
}

void ExportWindow::layOutOptionsPanel(QLabel *titleLabel)
{
    auto *grid = new QGridLayout(optionsPanel);
    grid->setContentsMargins(6, 6, 8, 6);
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(5);
    grid->addWidget(tableFontButton, 0, 0);
    grid->addWidget(titleFontButton, 1, 0);
    grid->addWidget(borderSizeButton, 2, 0);
    grid->addWidget(pageColourButton, 0, 1);
    grid->addWidget(cellColourButton, 1, 1);
    grid->addWidget(borderColourButton, 2, 1);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(3);
    titleRow->addWidget(titleLabel);
    titleRow->addWidget(titleEdit, 1);
    grid->addLayout(titleRow, 0, 2);
    auto *wrapRow = new QHBoxLayout;
    wrapRow->setSpacing(3);
    wrapRow->addWidget(cutTextsBox);
    wrapRow->addWidget(cutLengthBox);
    wrapRow->addWidget(cutLengthLabel);
    wrapRow->addSpacing(12);
    wrapRow->addWidget(onlyShownBox);
    wrapRow->addStretch(1);
    grid->addLayout(wrapRow, 1, 2);
    auto *resetRow = new QHBoxLayout;
    resetRow->setSpacing(3);
    resetRow->addWidget(originalLookButton);
    resetRow->addWidget(factoryLookButton);
    resetRow->addStretch(1);
    grid->addLayout(resetRow, 2, 2);
    grid->setColumnStretch(2, 1);
}

// "Uložit", "Tisk", "Vzhled stránky" and "Zavřít", one under another.
QVBoxLayout *ExportWindow::createCommandButtons()
{
    saveButton = button(QStringLiteral("saveButton"), QStringLiteral("Uložit"), 89, this);
    printButton = button(QStringLiteral("printButton"), QStringLiteral("Tisk"), 89, this);
    pageSetupButton = button(QStringLiteral("pageSetupButton"), QStringLiteral("Vzhled stránky"), 89, this);
    closeButton = button(QStringLiteral("closeButton"), QStringLiteral("Zavřít"), 89, this);
    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    for (QPushButton *b : {saveButton, printButton, pageSetupButton, closeButton})
        buttons->addWidget(b);
    buttons->addStretch(1);
    return buttons;
}

// The preview above, the options and the command buttons below it.
void ExportWindow::layOutWindow(QVBoxLayout *commands)
{
    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    bottom->addWidget(optionsPanel, 1);
    bottom->addLayout(commands);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 5, 3);
    outer->setSpacing(6);
    outer->addWidget(previewPanel, 1);
    auto *bottomIndent = new QHBoxLayout;
    bottomIndent->setContentsMargins(3, 0, 0, 0);
    bottomIndent->addLayout(bottom);
    outer->addLayout(bottomIndent);
}

void ExportWindow::createDialogs()
{
    fontDialog = new FontColorDialog(this);
    fontDialog->setObjectName(QStringLiteral("fontDialog"));
    colourDialog = new QColorDialog(this);
    colourDialog->setObjectName(QStringLiteral("colourDialog"));
    colourDialog->setWindowTitle(QStringLiteral("Barva"));
    saveDialog = new QFileDialog(this);
    saveDialog->setObjectName(QStringLiteral("saveDialog"));
    setUpSaveDialog(*saveDialog, QStringLiteral("Html soubor (*.htm *.html)"), QStringLiteral("htm"));
    saveDialog->setOption(QFileDialog::DontConfirmOverwrite);
}

void ExportWindow::connectControls()
{
    connect(tableFontButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::chooseTableFont));
    connect(titleFontButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::chooseTitleFont));
    connect(pageColourButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::choosePageColour));
    connect(cellColourButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::chooseCellColour));
    connect(borderColourButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::chooseBorderColour));
    connect(borderSizeButton, &QPushButton::clicked, this, &ExportWindow::borderSizeClicked);
    connect(borderSizeBox, &SpinEdit::textValueChanged, this, guardedSlot(this, &ExportWindow::borderSizeChanged));
    connect(titleEdit, &QLineEdit::textChanged, this, guardedSlot(this, &ExportWindow::rebuild));
    connect(cutTextsBox, &QCheckBox::toggled, this, guardedSlot(this, &ExportWindow::cutTextsToggled));
    connect(cutLengthBox, &SpinEdit::textValueChanged, this, guardedSlot(this, &ExportWindow::rebuild));
    connect(originalLookButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::restoreOriginalLook));
    connect(factoryLookButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::restoreFactoryLook));
    connect(saveButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::savePage));
    connect(printButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::print));
    connect(pageSetupButton, &QPushButton::clicked, this, guardedSlot(this, &ExportWindow::pageSetup));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(preview->page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    previewRendererEnded();
            });
}

bool ExportWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == borderSizeButton && event->type() == QEvent::Resize) {
        const QSize hint = borderSizeBox->sizeHint();
        const int h = std::min(hint.height(), borderSizeButton->height());
        borderSizeBox->setGeometry(borderSizeButton->width() - hint.width(), (borderSizeButton->height() - h) / 2,
                                hint.width(), h);
    }
    return QDialog::eventFilter(watched, event);
}

void ExportWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (QWidget *owner = parentWidget()) {
        const QRect over = owner->window()->frameGeometry();
        move(over.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    runGuarded([this] { afterShown(); });
}

void ExportWindow::afterShown()
{
    {
        m_loading = true;
        const auto loaded = qScopeGuard([this] { m_loading = false; });
        loadSettings();
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
    buildPage();
}

void ExportWindow::loadSettings()
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
    titleEdit->setText(m_settings.title);
    cutTextsBox->setChecked(m_settings.cutLongTexts);
    cutLengthBox->setTextValue(m_settings.cutLength);
}

void ExportWindow::saveSettings()
{
    m_settings = currentSettings();
    HtmlSettingsFile::save(m_iniPath, m_settings);
}

void ExportWindow::putBorderSize()
{
    m_settings.borderSize = std::clamp(m_settings.borderSize, HtmlSettings::kMinBorder, HtmlSettings::kMaxBorder);
    borderSizeBox->setTextValue(m_settings.borderSize);
}

HtmlSettings ExportWindow::currentSettings() const
{
    HtmlSettings s = m_settings;
    s.title = titleEdit->text();
    s.cutLongTexts = cutTextsBox->isChecked();
    s.cutLength = cutLengthBox->textValue();
    return s;
}

void ExportWindow::buildPage()
{
    m_rebuildTimer->stop();
    const BuiltPage built = BuildHtmlPage(currentSettings(), pageRides(), m_where,
                                          [this](const QString &path) { showPreview(path); }, kPreviewRides);
    if (built.failure.isEmpty()) {
        m_fileNote.clear();
        m_unwrittenPreview.reset();
    } else {
        showUnwrittenPreview(built.bytes, built.failure);
    }
    const int rides = std::max(0, pageRides().tableRowCount() - 1);
    m_rideNote = rides <= kPreviewRides
                     ? QString()
                     : QStringLiteral("Náhled ukazuje prvních %1 z %2 jízd. Uložená a vytištěná stránka "
                                      "obsahuje všech %2 jízd.")
                           .arg(ridesText(kPreviewRides), ridesText(rides));
    m_previewRestarts = 0;
    m_rendererNote.clear();
    updateNote();
}

bool ExportWindow::isRebuildPending() const
{
    return m_rebuildTimer->isActive();
}

void ExportWindow::rebuildNow()
{
    // While the settings load, the controls change one after another; one
    // build follows at the end with all of them.
    if (!m_loading)
        buildPage();
}

void ExportWindow::rebuild()
{
    // Keys handled in one pass of the event loop (a burst of them, or the
    // steps of one edit) make one page. A keystroke after them builds the
    // next page without waiting for the one before to show: the browser
    // drops the older page, and the preview is one page load behind the
    // last keystroke, however fast the rider types.
    if (!m_loading && !m_rebuildTimer->isActive())
        m_rebuildTimer->start();
}

void ExportWindow::flushRebuild()
{
    if (isRebuildPending())
        buildPage();
}

void ExportWindow::showPreview(const QString &path)
{
    m_previewUrl = QUrl::fromLocalFile(path);
    static_cast<PreviewPage *>(preview->page())->allowed = m_previewUrl;
    preview->load(m_previewUrl);
}

void ExportWindow::showUnwrittenPreview(const QByteArray &page, const QString &failure)
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

void ExportWindow::previewRendererEnded()
{
    // Said in the window, and the page loaded again in a new renderer; a
    // renderer that keeps ending is not restarted for ever.
    if (m_previewRestarts < 2) {
        ++m_previewRestarts;
        m_rendererNote = QStringLiteral("Zobrazování náhledu selhalo (proces prohlížeče skončil). Náhled se "
                                        "načítá znovu.");
        QTimer::singleShot(0, this, [this] {
            if (!m_previewUrl.isEmpty())
                preview->load(m_previewUrl);
        });
    } else {
        m_rendererNote = QStringLiteral("Náhled nelze zobrazit: proces prohlížeče opakovaně skončil.");
    }
    updateNote();
}

void ExportWindow::updateNote()
{
    QStringList lines;
    for (const QString *note : {&m_rendererNote, &m_fileNote, &m_fontNote, &m_rideNote})
        if (!note->isEmpty())
            lines.append(*note);
    previewLabel->setText(lines.join(u'\n'));
    previewLabel->setVisible(!lines.isEmpty());
}

void ExportWindow::chooseFont(QString &name, qint32 &size, qint32 &color)
{
    fontDialog->setFamily(name);
    fontDialog->setPointSize(size);
    fontDialog->setColor(colorValueToRgb(color));
    if (fontDialog->exec() != QDialog::Accepted)
        return;
    name = fontDialog->family();
    size = fontDialog->pointSize();
    color = rgbToColorValue(fontDialog->color());
    buildPage();
}

void ExportWindow::chooseColor(qint32 &color)
{
    colourDialog->setCurrentColor(QColor(colorValueToRgb(color)));
    if (colourDialog->exec() == QDialog::Accepted)
        color = rgbToColorValue(colourDialog->selectedColor().rgb());
    buildPage();
}

void ExportWindow::chooseTableFont()
{
    chooseFont(m_settings.tableFontName, m_settings.tableFontSize, m_settings.tableFontColour);
}

void ExportWindow::chooseTitleFont()
{
    chooseFont(m_settings.titleFontName, m_settings.titleFontSize, m_settings.titleFontColour);
}

void ExportWindow::choosePageColour()
{
    chooseColor(m_settings.pageColour);
}

void ExportWindow::chooseCellColour()
{
    chooseColor(m_settings.tableColour);
}

void ExportWindow::chooseBorderColour()
{
    chooseColor(m_settings.borderColour);
}

void ExportWindow::borderSizeClicked()
{
    borderSizeBox->setFocus(Qt::OtherFocusReason);
    borderSizeBox->selectAll();
}

void ExportWindow::borderSizeChanged()
{
    m_settings.borderSize = borderSizeBox->textValue();
    rebuild();
}

void ExportWindow::cutTextsToggled()
{
    cutLengthBox->setEnabled(cutTextsBox->isChecked());
    rebuildNow();
}

void ExportWindow::restoreOriginalLook()
{
    afterShown();
}

void ExportWindow::restoreFactoryLook()
{
    HtmlSettingsFile::erase(m_iniPath);
    restoreOriginalLook();
}

void ExportWindow::savePage()
{
    flushRebuild();
    saveSettings();
    if (!m_lastSaveName.isEmpty())
        saveDialog->selectFile(m_lastSaveName);
    if (saveDialog->exec() != QDialog::Accepted || saveDialog->selectedFiles().isEmpty())
        return;
    m_lastSaveName = saveDialog->selectedFiles().constFirst();
    // The whole page, however many rides the preview leaves out.
    AtomicWrite::replaceFile(m_lastSaveName, HtmlPage::bytes(currentSettings(), pageRides()));
    rememberFolder(saveDialog->defaultSuffix(), m_lastSaveName);
}

void ExportWindow::print()
{
    if (m_printing)
        return;
    flushRebuild();
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Tisk"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printing = true;
    printButton->setEnabled(false);
    pageSetupButton->setEnabled(false);
    startPrint();
}

void ExportWindow::startPrint()
{
    // The whole page, which may hold far more rides than the preview, is
    // loaded into a view of its own that is never shown.
    m_printFile = temporaryPage("trasovnik-tisk", HtmlPage::bytes(currentSettings(), pageRides()));
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
    connect(m_printView, &QWebEngineView::printFinished, this, &ExportWindow::printDone);
    m_printView->load(page->allowed);
}

void ExportWindow::sendToPrinter()
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

void ExportWindow::printDone(bool ok)
{
    if (!m_printing)
        return;
    m_printing = false;
    printButton->setEnabled(true);
    pageSetupButton->setEnabled(true);
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

void ExportWindow::pageSetup()
{
    if (m_printing)
        return;
    QPageSetupDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Vzhled stránky"));
    dialog.exec();
}

void ExportWindow::done(int result)
{
    // The printer must live until its print is done: the window closes
    // then.
    if (m_printing) {
        m_closeAfterPrint = true;
        return;
    }
    const QString failure = failureOf([this] { saveSettings(); });
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
