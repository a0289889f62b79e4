#pragma once
#include "Messages.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <functional>

// Records every message instead of showing a box; installed for the
// lifetime of the object.
class MessageRecorder final : public Messages
{
public:
    MessageRecorder() { Messages::install(this); }
    ~MessageRecorder() override { Messages::install(nullptr); }

    void show(Kind kind, const QString &text) override { shown.append({kind, text}); }
    // Records the question and gives the next of `answers`, or `escape`
    // when none is left.
    int choose(const QString &text, const QStringList &buttons, int, int escape) override
    {
        questions.append(text);
        questionButtons = buttons;
        if (onQuestion)
            onQuestion();
        return answers.isEmpty() ? escape : answers.takeFirst();
    }

    QStringList texts() const
    {
        QStringList t;
        for (const auto &m : shown)
            t.append(m.second);
        return t;
    }
    void clear() { shown.clear(); }

    QList<QPair<Kind, QString>> shown;
    QStringList questions;
    QStringList questionButtons;
    QList<int> answers;
    std::function<void()> onQuestion;
};
