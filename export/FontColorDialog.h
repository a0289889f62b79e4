#pragma once
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

// Font family, size in points and colour chosen together, with a sample.
// A family name holds only what a CSS family name can (cleanFontName):
// only such families are offered and other characters cannot be typed, so
// that the choice can be stored in store.ini and written into the page.
class FontColorDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FontColorDialog(QWidget *parent = nullptr);

    // Presets; a family the list does not hold is still shown and kept.
    void setFamily(const QString &family);
    void setPointSize(int points);
    void setColor(QRgb rgb);

    QString family() const;
    // The typed size; the preset when the field holds no whole number.
    int pointSize() const;
    QRgb color() const;

private:
    void familyTyped(const QString &text);
    void colorPicked(int index);
    void updateSample();
    void showColor(QRgb rgb);

    QLineEdit *m_familyEdit = nullptr;
    QListWidget *m_families = nullptr;
    QComboBox *m_size = nullptr;
    QComboBox *m_color = nullptr;
    QLabel *m_sample = nullptr;
    int m_presetSize = 8;
    QRgb m_rgb = 0;
};
