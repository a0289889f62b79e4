#pragma once
#include <QString>

// Why a file could not be written, found out after the write failed and
// said in Czech, with what the rider can do about it. The write's own
// error names only the step that failed ("Cannot create file …"); the
// rider needs the cause: no permission, a disk mounted read-only, no room
// left, or something other than a file in the file's place.
namespace WriteFailure {

enum class Cause { NoPermission, ReadOnly, NoSpace, InTheWay, Other };

struct Diagnosis
{
    Cause cause = Cause::Other;
    // "nemáte oprávnění zapisovat do složky „/data“"; for a cause not
    // found, the write's own error.
    QString reason;
    // What to do before trying again: "třeba po uvolnění místa na disku".
    QString remedy;
};

// Looks at the file's place as it is now: the file itself (opened for
// writing without changing it), then its folder (a probe file made, a
// little written and removed again). `error` is the write's own error.
Diagnosis diagnose(const QString &path, const QString &error);

} // namespace WriteFailure
