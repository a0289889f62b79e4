#pragma once
#include <QString>

namespace ProgramFolder {
// The folder of the executable with a trailing separator when it is
// writable; otherwise the per-user data folder (created when missing).
QString locate();
// Same rule for a given executable folder, for tests.
QString locate(const QString &executableFolder);
} // namespace ProgramFolder
