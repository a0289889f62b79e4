#include "RideFilterBar.h"
#include "LocaleService.h"
#include "NumberText.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {
enum Period { All, ThisYear, LastYear };
// The period box: "vše", "letos", "loni", the log's years, "vlastní…".
constexpr int kYearRole = Qt::UserRole;
const QString kCustom = QStringLiteral("vlastní…");

QLabel *label(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

// A field's value, or the reason it is refused.
struct Read
{
    bool ok = true;
    QString problem;
};

std::optional<QDate> readDate(const QLineEdit *edit, Read &read)
{
    const QString t = edit->text().trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const auto day = LocaleService::instance().parseDate(t);
    if (!day && read.ok) {
        read.ok = false;
        read.problem = QStringLiteral("„%1“ není datum, období se nepoužije.").arg(t);
    }
    return day;
}

std::optional<double> readKm(const QLineEdit *edit, Read &read)
{
    const QString t = edit->text().trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const auto km = NumberText::parse(t);
    if (!km && read.ok) {
        read.ok = false;
        read.problem = QStringLiteral("„%1“ není počet km, nepoužije se.").arg(t);
    }
    return km;
}
} // namespace

RideFilterBar::RideFilterBar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("rideFilterBar"));
    setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(5);

    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->setPlaceholderText(QStringLiteral("název nebo průběh trasy"));
    searchEdit->setClearButtonEnabled(true);
    searchEdit->setMinimumWidth(160);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    periodBox->addItem(QStringLiteral("vše"));
    periodBox->addItem(QStringLiteral("letos"));
    periodBox->addItem(QStringLiteral("loni"));
    periodBox->addItem(kCustom);
    fromEdit = smallEdit(QStringLiteral("fromEdit"), 82);
    untilEdit = smallEdit(QStringLiteral("untilEdit"), 82);
    fromEdit->setPlaceholderText(QStringLiteral("od"));
    untilEdit->setPlaceholderText(QStringLiteral("do"));
    fromEdit->hide();
    untilEdit->hide();
    bikeBox = new QComboBox(this);
    bikeBox->setObjectName(QStringLiteral("filterBikeBox"));
    minKmEdit = smallEdit(QStringLiteral("minKmEdit"), 52);
    maxKmEdit = smallEdit(QStringLiteral("maxKmEdit"), 52);
    difficultyBox = new QComboBox(this);
    difficultyBox->setObjectName(QStringLiteral("filterDifficultyBox"));
    difficultyBox->addItem(QStringLiteral("libovolná"));
    for (int d = 1; d <= 5; ++d)
        difficultyBox->addItem(QString::number(d));
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("filterCountLabel"));
    problemLabel = new QLabel(this);
    problemLabel->setObjectName(QStringLiteral("filterProblemLabel"));
    QPalette red = problemLabel->palette();
    red.setColor(QPalette::WindowText, QColor(160, 0, 0));
    problemLabel->setPalette(red);
    problemLabel->hide();
    closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("filterCloseButton"));
    closeButton->setText(QStringLiteral("✕"));
    closeButton->setToolTip(QStringLiteral("Zrušit hledání a skrýt lištu (Esc)"));
    closeButton->setAutoRaise(true);

    row->addWidget(label(QStringLiteral("&Hledat:"), searchEdit, this));
    row->addWidget(searchEdit, 2);
    row->addWidget(label(QStringLiteral("O&bdobí:"), periodBox, this));
    row->addWidget(periodBox);
    row->addWidget(fromEdit);
    row->addWidget(untilEdit);
    bikeLabel = label(QStringLiteral("Kolo:"), bikeBox, this);
    row->addWidget(bikeLabel);
    row->addWidget(bikeBox);
    row->addWidget(label(QStringLiteral("Km:"), minKmEdit, this));
    row->addWidget(minKmEdit);
    row->addWidget(new QLabel(QStringLiteral("–"), this));
    row->addWidget(maxKmEdit);
    row->addWidget(label(QStringLiteral("Náročnost:"), difficultyBox, this));
    row->addWidget(difficultyBox);
    row->addWidget(problemLabel);
    row->addStretch(1);
    row->addWidget(countLabel);
    row->addWidget(closeButton);
    setBikes({});

    for (QLineEdit *e : {searchEdit, fromEdit, untilEdit, minKmEdit, maxKmEdit})
        connect(e, &QLineEdit::textChanged, this, &RideFilterBar::changed);
    connect(periodBox, &QComboBox::currentIndexChanged, this, &RideFilterBar::periodChosen);
    for (QComboBox *b : {bikeBox, difficultyBox})
        connect(b, &QComboBox::currentIndexChanged, this, &RideFilterBar::changed);
    connect(closeButton, &QToolButton::clicked, this, &RideFilterBar::closeBar);
}

QLineEdit *RideFilterBar::smallEdit(const QString &name, int width)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(name);
    e->setFixedWidth(width);
    return e;
}

RideFilter::Criteria RideFilterBar::criteria() const
{
    return read(nullptr);
}

RideFilter::Criteria RideFilterBar::read(QString *problem) const
{
    RideFilter::Criteria c;
    c.text = searchEdit->text();
    const int year = periodBox->currentData(kYearRole).toInt();
    Read dateRead;
    if (periodBox->currentText() == kCustom) {
        const auto from = readDate(fromEdit, dateRead);
        const auto until = readDate(untilEdit, dateRead);
        if (dateRead.ok) {
            c.from = from;
            c.until = until;
        }
    } else if (year > 0) {
        c.from = QDate(year, 1, 1);
        c.until = QDate(year, 12, 31);
    }
    if (bikeBox->currentIndex() > 0)
        c.bike = bikeBox->currentData().toString();
    Read kmRead;
    c.minKm = readKm(minKmEdit, kmRead);
    c.maxKm = readKm(maxKmEdit, kmRead);
    c.difficulty = difficultyBox->currentIndex();
    if (problem)
        *problem = !dateRead.ok ? dateRead.problem : kmRead.problem;
    return c;
}

void RideFilterBar::setYears(const QList<int> &years)
{
    const QString chosen = periodBox->currentText();
    m_quiet = true;
    while (periodBox->count() > 4)
        periodBox->removeItem(3);
    const int now = QDate::currentDate().year();
    periodBox->setItemData(ThisYear, now, kYearRole);
    periodBox->setItemData(LastYear, now - 1, kYearRole);
    int at = 3;
    for (const int y : years) {
        if (y == now || y == now - 1)
            continue;
        periodBox->insertItem(at, QString::number(y), y);
        periodBox->setItemData(at++, y, kYearRole);
    }
    const int again = periodBox->findText(chosen);
    periodBox->setCurrentIndex(again >= 0 ? again : All);
    m_quiet = false;
}

void RideFilterBar::setBikes(const QStringList &names)
{
    const QString chosen = bikeBox->currentIndex() > 0 ? bikeBox->currentText() : QString();
    m_quiet = true;
    bikeBox->clear();
    bikeBox->addItem(QStringLiteral("všechna"));
    for (const QString &n : names)
        bikeBox->addItem(n, n);
    bikeBox->addItem(QStringLiteral("bez kola"), QString(QLatin1String("")));
    const int again = chosen.isEmpty() ? -1 : bikeBox->findText(chosen);
    bikeBox->setCurrentIndex(std::max(0, again));
    m_quiet = false;
    bikeLabel->setVisible(!names.isEmpty());
    bikeBox->setVisible(!names.isEmpty());
}

void RideFilterBar::showCount(int shown, int total)
{
    const QLocale &locale = LocaleService::instance().locale();
    countLabel->setText(QStringLiteral("Zobrazeno %1 z %2 %3")
                            .arg(locale.toString(shown), locale.toString(total),
                                 total == 1 ? QStringLiteral("jízdy") : QStringLiteral("jízd")));
}

void RideFilterBar::clear()
{
    m_quiet = true;
    for (QLineEdit *e : {searchEdit, fromEdit, untilEdit, minKmEdit, maxKmEdit})
        e->clear();
    periodBox->setCurrentIndex(All);
    fromEdit->hide();
    untilEdit->hide();
    bikeBox->setCurrentIndex(0);
    difficultyBox->setCurrentIndex(0);
    problemLabel->hide();
    m_quiet = false;
}

void RideFilterBar::open()
{
    show();
    searchEdit->setFocus(Qt::ShortcutFocusReason);
    searchEdit->selectAll();
}

void RideFilterBar::periodChosen()
{
    const bool custom = periodBox->currentText() == kCustom;
    fromEdit->setVisible(custom);
    untilEdit->setVisible(custom);
    if (custom && !m_quiet)
        fromEdit->setFocus(Qt::OtherFocusReason);
    changed();
}

void RideFilterBar::changed()
{
    if (m_quiet)
        return;
    QString problem;
    read(&problem);
    problemLabel->setText(problem);
    problemLabel->setVisible(!problem.isEmpty());
    emit criteriaChanged();
}

void RideFilterBar::closeBar()
{
    clear();
    hide();
    emit closed();
}

void RideFilterBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        closeBar();
        return;
    }
    QFrame::keyPressEvent(event);
}
