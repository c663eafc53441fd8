#pragma once

#include "progress.h"

#include <QString>
#include <algorithm>

namespace tb::bench {

// Writes a new cash book of about `lines` lines, as a shop books them: six days a week, 20 to
// 30 lines a day, receipts and payments of realistic size at 19, 7 or 0 %, `texts` booking
// texts, a few counter-entries and done marks, a float of 150,00, receipt numbers in order and
// every running balance stored, and its change log (each line entered on the evening of its
// day). The file has no password (as during a run). The same seed gives the same book.
void generateBook(const QString& path, int lines, int texts = 300, unsigned seed = 1);

// The generated book of `lines` lines as the program works on it (its password put on and
// taken off again), made once per process; with
// TILLBOOK_BENCH_BOOKS set, once in that folder for every later run too (a million lines take
// a minute to generate). Benchmarks copy it before they change it.
QString generatedBook(int lines);

// Copies a file over another (a benchmark's fresh copy of a book).
void copyBook(const QString& from, const QString& to);

// The resident size of this process in kB.
qint64 residentKb();

// Samples the resident size at every progress step: how far an export's memory rises.
struct RssSampling : Progress {
    qint64 peak = 0;
    bool step(qint64) override {
        peak = std::max(peak, residentKb());
        return true;
    }
};

} // namespace tb::bench
