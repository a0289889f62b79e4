#pragma once
#include "Messages.h"

class QWidget;

// Message boxes with QMessageBox, parented to the active window.
class WidgetMessages final : public Messages
{
public:
    void show(Kind kind, const QString &text) override;
    int choose(const QString &text, const QStringList &buttons, int defaultButton, int escape) override;
};
