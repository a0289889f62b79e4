#include "SaveBeforeClosing.h"
#include "Messages.h"

#include <QStringList>

bool SaveBeforeClosing::run() const
{
    const auto isEnding = [this] { return ending && ending(); };
    for (;;) {
        if (isEnding())
            return true;
        const QString failure = save();
        if (failure.isEmpty() || (keptAnyway && keptAnyway()))
            return true;
        if (showFailureFirst)
            Messages::instance().failure(failure);
        QStringList buttons{QStringLiteral("Zkusit znovu")};
        const int elsewhere = saveElsewhere ? int(buttons.size()) : -1;
        if (saveElsewhere)
            buttons << QStringLiteral("Uložit jinam…");
        const int close = int(buttons.size());
        buttons << QStringLiteral("Zavřít bez uložení") << keepOpen;
        const int choice = Messages::instance().choose(question(failure), buttons, 0, close + 1);
        if (isEnding())
            return true;
        if (choice == 0)
            continue;
        if (choice == elsewhere) {
            if (saveElsewhere())
                return true;
            continue;
        }
        return choice == close;
    }
}
