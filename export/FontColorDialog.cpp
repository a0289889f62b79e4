#include "FontColorDialog.h"
#include "HtmlSettings.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QToolTip>
#include <QValidator>
#include <QVBoxLayout>

namespace {
// The sixteen colours of the classic font dialog, with Czech names.
struct NamedColor
{
    const char16_t *name;
    QRgb rgb;
};
constexpr NamedColor kColors[] = {
    {u"Černá", 0x000000}, {u"Kaštanová", 0x800000}, {u"Zelená", 0x008000}, {u"Olivová", 0x808000},
    {u"Námořnická modř", 0x000080}, {u"Fialová", 0x800080}, {u"Modrozelená", 0x008080},
    {u"Šedá", 0x808080}, {u"Stříbrná", 0xC0C0C0}, {u"Červená", 0xFF0000}, {u"Limetková", 0x00FF00},
    {u"Žlutá", 0xFFFF00}, {u"Modrá", 0x0000FF}, {u"Purpurová", 0xFF00FF}, {u"Azurová", 0x00FFFF},
    {u"Bílá", 0xFFFFFF},
};
constexpr int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// Refuses, as they are typed or pasted, the characters that a font family
// name cannot hold; the rest of the input stays.
class FontNameValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override
    {
        QString kept;
        int keptPos = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (isFontNameCharacter(input.at(i)))
                kept += input.at(i);
            else if (i < pos)
                --keptPos;
        }
        if (kept.size() != input.size()) {
            input = kept;
            pos = keptPos;
            if (auto *edit = qobject_cast<QLineEdit *>(parent()))
                QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())),
                                   QStringLiteral("Název písma může mít jen písmena, číslice, mezery, „-“ a „_“."),
                                   edit);
        }
        return Acceptable;
    }
};

QIcon swatch(QRgb rgb)
{
    QPixmap pm(16, 12);
    pm.fill(QColor(rgb));
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return QIcon(pm);
}
} // namespace

FontColorDialog::FontColorDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Písmo"));

    m_familyEdit = new QLineEdit(this);
    m_familyEdit->setObjectName(QStringLiteral("family"));
    m_familyEdit->setValidator(new FontNameValidator(m_familyEdit));
    m_families = new QListWidget(this);
    m_families->setObjectName(QStringLiteral("families"));
    for (const QString &f : QFontDatabase::families())
        if (cleanFontName(f) == f && !QFontDatabase::isPrivateFamily(f))
            m_families->addItem(f);
    m_families->setMinimumWidth(180);

    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("size"));
    m_size->setEditable(true);
    m_size->setInsertPolicy(QComboBox::NoInsert);
    for (int s : kSizes)
        m_size->addItem(QString::number(s));
    m_size->setValidator(new QIntValidator(1, 1638, m_size));

    m_color = new QComboBox(this);
    m_color->setObjectName(QStringLiteral("color"));
    for (const NamedColor &c : kColors)
        m_color->addItem(swatch(c.rgb), QString::fromUtf16(c.name), uint(c.rgb));
    m_color->addItem(QStringLiteral("Jiná…"));

    m_sample = new QLabel(QStringLiteral("AaBbYyŽž 123"), this);
    m_sample->setObjectName(QStringLiteral("sample"));
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setMinimumSize(220, 56);
    m_sample->setAutoFillBackground(true);
    auto *sampleBox = new QGroupBox(QStringLiteral("Ukázka"), this);
    (new QVBoxLayout(sampleBox))->addWidget(m_sample);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *familyLabel = new QLabel(QStringLiteral("&Písmo:"), this);
    familyLabel->setBuddy(m_familyEdit);
    auto *sizeLabel = new QLabel(QStringLiteral("&Velikost:"), this);
    sizeLabel->setBuddy(m_size);
    auto *colorLabel = new QLabel(QStringLiteral("&Barva:"), this);
    colorLabel->setBuddy(m_color);

    auto *grid = new QGridLayout(this);
    grid->addWidget(familyLabel, 0, 0);
    grid->addWidget(m_familyEdit, 1, 0);
    grid->addWidget(m_families, 2, 0, 4, 1);
    grid->addWidget(sizeLabel, 0, 1);
    grid->addWidget(m_size, 1, 1);
    grid->addWidget(colorLabel, 2, 1);
    grid->addWidget(m_color, 3, 1);
    grid->addWidget(sampleBox, 4, 1);
    grid->setRowStretch(5, 1);
    grid->addWidget(buttons, 6, 0, 1, 2);

    connect(m_familyEdit, &QLineEdit::textEdited, this, &FontColorDialog::familyTyped);
    connect(m_families, &QListWidget::currentTextChanged, this, [this](const QString &f) {
        if (!f.isEmpty() && m_familyEdit->text() != f && !m_familyEdit->hasFocus())
            m_familyEdit->setText(f);
        updateSample();
    });
    connect(m_families, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        m_familyEdit->setText(item->text());
        updateSample();
    });
    connect(m_size, &QComboBox::currentTextChanged, this, &FontColorDialog::updateSample);
    connect(m_color, &QComboBox::activated, this, &FontColorDialog::colorPicked);
    m_familyEdit->setFocus();
}

void FontColorDialog::setFamily(const QString &family)
{
    m_familyEdit->setText(family);
    familyTyped(family);
}

void FontColorDialog::setPointSize(int points)
{
    m_presetSize = points;
    m_size->setEditText(QString::number(points));
}

void FontColorDialog::setColor(QRgb rgb)
{
    showColor(rgb);
}

QString FontColorDialog::family() const
{
    return cleanFontName(m_familyEdit->text());
}

int FontColorDialog::pointSize() const
{
    bool ok = false;
    const int v = m_size->currentText().toInt(&ok);
    return ok ? v : m_presetSize;
}

QRgb FontColorDialog::color() const
{
    return m_rgb & 0xFFFFFF;
}

void FontColorDialog::familyTyped(const QString &text)
{
    // The first family that starts with what is typed becomes current.
    const QList<QListWidgetItem *> found = m_families->findItems(text, Qt::MatchStartsWith);
    if (!found.isEmpty()) {
        const QSignalBlocker block(m_families);
        m_families->setCurrentItem(found.first());
        m_families->scrollToItem(found.first());
    }
    updateSample();
}

void FontColorDialog::colorPicked(int index)
{
    if (index < int(std::size(kColors))) {
        showColor(kColors[index].rgb);
        return;
    }
    const QColor chosen = QColorDialog::getColor(QColor(m_rgb), this, QStringLiteral("Barva"));
    showColor(chosen.isValid() ? chosen.rgb() : m_rgb);
}

void FontColorDialog::showColor(QRgb rgb)
{
    m_rgb = rgb & 0xFFFFFF;
    int index = m_color->count() - 1;
    for (int i = 0; i < int(std::size(kColors)); ++i)
        if (kColors[i].rgb == m_rgb)
            index = i;
    const QSignalBlocker block(m_color);
    // A colour of its own shows its swatch on the last entry.
    m_color->setItemIcon(m_color->count() - 1, index == m_color->count() - 1 ? swatch(m_rgb) : QIcon());
    m_color->setCurrentIndex(index);
    updateSample();
}

void FontColorDialog::updateSample()
{
    QFont f(family());
    f.setPointSize(std::clamp(pointSize(), 1, 200));
    m_sample->setFont(f);
    QPalette p = m_sample->palette();
    p.setColor(QPalette::WindowText, QColor(m_rgb | 0xFF000000u));
    p.setColor(QPalette::Window, Qt::white);
    m_sample->setPalette(p);
}
