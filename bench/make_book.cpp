// make_book <file> <lines>: a generated cash book, stored as the program leaves it at the end
// of a run (password on). TILLBOOK_BENCH_BOOKS=<folder> keeps the generated books for later
// runs.
#include "book_generator.h"
#include "cash_file.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "make_book <file> <lines>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    tb::bench::copyBook(tb::bench::generatedBook(QByteArray(argv[2]).toInt()), path);
    return tb::cashfile::putPasswordBack(path) ? 0 : 1;
}
