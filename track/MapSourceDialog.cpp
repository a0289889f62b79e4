#include "MapSourceDialog.h"
#include "Messages.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using MapTiles::MapSource;

MapSourceDialog::MapSourceDialog(const MapSource &current, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MapSourceDialog"));
    setWindowTitle(QStringLiteral("Mapový podklad"));

    noneButton = new QRadioButton(QStringLiteral("žá&dný"), this);
    osmButton = new QRadioButton(QStringLiteral("&OpenStreetMap (standardní mapa, vyžaduje připojení k síti)"), this);
    templateButton = new QRadioButton(QStringLiteral("&vlastní adresa dlaždic:"), this);
    templateEdit = new QLineEdit(current.urlTemplate, this);
    templateEdit->setObjectName(QStringLiteral("templateEdit"));
    templateEdit->setPlaceholderText(QStringLiteral("https://…/{z}/{x}/{y}.png"));
    mbtilesButton = new QRadioButton(QStringLiteral("soubor &MBTiles:"), this);
    mbtilesEdit = new QLineEdit(QDir::toNativeSeparators(current.mbtilesPath), this);
    mbtilesEdit->setObjectName(QStringLiteral("mbtilesEdit"));
    browseButton = new QPushButton(QStringLiteral("&Procházet…"), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    auto *group = new QButtonGroup(this);
    for (QRadioButton *b : {noneButton, osmButton, templateButton, mbtilesButton})
        group->addButton(b);

    problemLabel = new QLabel(this);
    problemLabel->setObjectName(QStringLiteral("problemLabel"));
    problemLabel->setWordWrap(true);
    QPalette p = problemLabel->palette();
    p.setColor(QPalette::WindowText, QColor(170, 0, 0));
    problemLabel->setPalette(p);
    problemLabel->hide();

    buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Zrušit"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    switch (current.kind) {
    case MapSource::Kind::None: noneButton->setChecked(true); break;
    case MapSource::Kind::OpenStreetMap: osmButton->setChecked(true); break;
    case MapSource::Kind::UrlTemplate: templateButton->setChecked(true); break;
    case MapSource::Kind::MbTiles: mbtilesButton->setChecked(true); break;
    }
    // Typing into a field or browsing chooses its kind.
    connect(templateEdit, &QLineEdit::textEdited, templateButton, [this] { templateButton->setChecked(true); });
    connect(mbtilesEdit, &QLineEdit::textEdited, mbtilesButton, [this] { mbtilesButton->setChecked(true); });
    connect(browseButton, &QPushButton::clicked, this, &MapSourceDialog::browse);
    // A button reached by its letter puts the rider into its field.
    connect(templateButton, &QRadioButton::clicked, templateEdit, [this] { templateEdit->setFocus(); });
    connect(mbtilesButton, &QRadioButton::clicked, mbtilesEdit, [this] { mbtilesEdit->setFocus(); });

    auto *grid = new QGridLayout;
    grid->addWidget(noneButton, 0, 0, 1, 3);
    grid->addWidget(osmButton, 1, 0, 1, 3);
    grid->addWidget(templateButton, 2, 0);
    grid->addWidget(templateEdit, 2, 1, 1, 2);
    grid->addWidget(mbtilesButton, 3, 0);
    grid->addWidget(mbtilesEdit, 3, 1);
    grid->addWidget(browseButton, 3, 2);
    grid->setColumnStretch(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(problemLabel);
    layout->addStretch();
    layout->addWidget(buttons);
    // An address or a path of the usual length shows whole.
    for (QLineEdit *edit : {templateEdit, mbtilesEdit})
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 60);
}

MapSource MapSourceDialog::source() const
{
    MapSource s;
    s.kind = osmButton->isChecked()       ? MapSource::Kind::OpenStreetMap
             : templateButton->isChecked() ? MapSource::Kind::UrlTemplate
             : mbtilesButton->isChecked()  ? MapSource::Kind::MbTiles
                                           : MapSource::Kind::None;
    s.urlTemplate = templateEdit->text().trimmed();
    s.mbtilesPath = QDir::fromNativeSeparators(mbtilesEdit->text().trimmed());
    return s;
}

void MapSourceDialog::refuse(QWidget *field, const QString &reason)
{
    problemLabel->setText(reason);
    problemLabel->show();
    field->setFocus(Qt::OtherFocusReason);
}

void MapSourceDialog::accept()
{
    const MapSource s = source();
    if (s.kind == MapSource::Kind::UrlTemplate) {
        const QString problem = MapTiles::urlTemplateProblem(s.urlTemplate);
        if (!problem.isEmpty())
            return refuse(templateEdit, problem);
    } else if (s.kind == MapSource::Kind::MbTiles) {
        const QString problem = MapTiles::mbtilesProblem(s.mbtilesPath);
        if (!problem.isEmpty()) {
            QString sentence = problem;
            sentence[0] = sentence[0].toUpper();
            return refuse(mbtilesEdit, sentence + u'.');
        }
    }
    QDialog::accept();
}

void MapSourceDialog::browse()
{
    const QString start = QFileInfo(QDir::fromNativeSeparators(mbtilesEdit->text().trimmed())).path();
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Soubor MBTiles"), start,
                                                      QStringLiteral("Mapy MBTiles (*.mbtiles);;Všechny soubory (*)"));
    if (path.isEmpty())
        return;
    mbtilesEdit->setText(QDir::toNativeSeparators(path));
    mbtilesButton->setChecked(true);
}

bool MapSourceDialog::edit(QWidget *parent, const QString &storeIniPath)
{
    const MapSource current = MapTiles::readMapSource(storeIniPath);
    const QPointer<MapSourceDialog> dialog = new MapSourceDialog(current, parent);
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    const MapSource chosen = accepted ? dialog->source() : current;
    delete dialog.data();
    if (chosen == current)
        return false;
    return runGuarded([&] { MapTiles::writeMapSource(storeIniPath, chosen); });
}
