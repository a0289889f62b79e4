#pragma once
#include <QString>
#include <functional>

// A window that writes its data file as it closes. When the writing fails,
// the rider chooses: "Zkusit znovu" (write again, after freeing some disk
// space, say), "Uložit jinam…" (where the window offers it), "Zavřít bez
// uložení", or keeping the window open.
struct SaveBeforeClosing
{
    // Writes the file: empty when it was written, else why not.
    std::function<QString()> save;
    // The question shown for a failure.
    std::function<QString(const QString &failure)> question;
    // The failure is shown in an error box of its own before the question.
    bool showFailureFirst = false;
    // Saves elsewhere when set (button "Uložit jinam…"); true when saved.
    std::function<bool()> saveElsewhere;
    // The button that keeps the window open.
    QString keepOpen;
    // The program is ending: the data are kept another way, nothing is
    // asked (checked before every writing and after every answer).
    std::function<bool()> ending;
    // What failed to be written is kept already: closing loses nothing
    // (checked after every failure).
    std::function<bool()> keptAnyway;

    // True when the window may close: written, kept, or the rider chose to
    // close without saving.
    bool run() const;
};
