// Runs a fuzz target over every file of the folders (or files) named on the command line:
// the seed corpus and every crash ever found stay part of the normal test run.

#include "tests/fuzz/fuzz_target.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString start = QFile::decodeName(argv[i]);
        QStringList files;
        if (QFileInfo(start).isDir()) {
            QDirIterator it(start, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files.append(it.next());
        } else {
            files.append(start);
        }
        files.sort();
        for (const QString& name : files) {
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                   size_t(bytes.size()));
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
