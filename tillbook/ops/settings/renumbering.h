#pragma once

#include "database.h"
#include "dialogs.h"
#include "settings_record.h"

namespace tb {

// Receipt renumbering: every booking of a date range gets the next number of one gapless
// sequence, in date order and then by ID, from a start number the operator gives; the next
// receipt number of the settings becomes the one after the last. All of it happens in one
// transaction, or on a failure nothing at all.
class Renumbering {
  public:
    Renumbering(Database& db, Dialogs& dialogs, SettingsRecord& settings)
        : db_(db), dialogs_(dialogs), settings_(settings) {}

    enum class Outcome { Empty, NotANumber, TooLarge, Declined, Done, Failed };
    // "Start": asks the start number (preset with the "Beleg-Nr." field), asks to confirm,
    // renumbers. receiptField is the dialog's "Beleg-Nr." field; it gets N, then the next number.
    Outcome run(const QString& from, const QString& to, QString& receiptField);

    // Numbers the bookings of the range from n on; the next number after the last, or nothing
    // on a failure (then nothing was changed).
    std::optional<qint64> renumber(const QString& from, const QString& to, qint64 n);
    // How many bookings the range holds; -1 when the file could not be read.
    qint64 countInRange(const QString& from, const QString& to);

  private:
    Database& db_;
    Dialogs& dialogs_;
    SettingsRecord& settings_;
};

} // namespace tb
