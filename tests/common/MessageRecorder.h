#pragma once
#include "Messages.h"

#include <QList>
#include <QPair>

// Records every message instead of showing a box; installed for the
// lifetime of the object.
class MessageRecorder final : public Messages
{
public:
    MessageRecorder() { Messages::install(this); }
    ~MessageRecorder() override { Messages::install(nullptr); }

    void show(Kind kind, const QString &text) override { shown.append({kind, text}); }

    QStringList texts() const
    {
        QStringList t;
        for (const auto &m : shown)
            t.append(m.second);
        return t;
    }
    void clear() { shown.clear(); }

    QList<QPair<Kind, QString>> shown;
};
