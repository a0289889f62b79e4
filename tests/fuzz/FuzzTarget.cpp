// A libFuzzer target for one of the file checks, chosen when it is built
// (TRASOVNIK_FUZZ_TARGET names it). A finding is printed and aborts, so
// that libFuzzer keeps the input that caused it.
#include "FileChecks.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
FileChecks::Check chosenCheck()
{
    for (const auto &target : FileChecks::targets)
        if (std::strcmp(target.name, TRASOVNIK_FUZZ_TARGET) == 0)
            return target.check;
    std::fprintf(stderr, "no file check named %s\n", TRASOVNIK_FUZZ_TARGET);
    std::abort();
}

// Files the checks write go to memory when the system offers it.
QString scratchRoot()
{
    const QString shm = QStringLiteral("/dev/shm");
    return QDir(shm).exists() ? shm : QDir::tempPath();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const FileChecks::Check check = chosenCheck();
    static const QTemporaryDir folder(scratchRoot() + QStringLiteral("/trasovnik-fuzz-XXXXXX"));
    const QString finding =
        check(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)), folder.path());
    if (!finding.isEmpty()) {
        std::fprintf(stderr, "FINDING (%s): %s\n", TRASOVNIK_FUZZ_TARGET, finding.toUtf8().constData());
        std::abort();
    }
    return 0;
}
