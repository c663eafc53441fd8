#pragma once

#include "data_view.h"
#include "dialogs.h"
#include "schema.h"

#include <optional>

namespace tb {

// The list of reusable booking texts: search as you type, take over (creating a missing text
// after asking), delete, and the distinct texts of the open lines for the query selector.
class BookingTexts {
  public:
    static QString source() { return QStringLiteral("Select * from Buchungstext Order by a1;"); }

    BookingTexts(Database* db, Dialogs& dialogs);

    DataView& view() { return view_; }
    void refresh();
    QString currentText() const { return view_.value(schema::Texts::text); }

    // Case-insensitive prefix test, umlauts included; the search text is taken literally.
    static bool startsWith(const QString& text, const QString& prefix);

    // From the first text, the first one that starts with the search text becomes current.
    // Without a match the current text stays. True on a match.
    bool search(const QString& prefix);

    void next();     // past the end: the last text
    void previous(); // at the beginning: the first text

    // The text to write into the entry, or nothing when the operator declined to create it.
    std::optional<QString> takeOver(const QString& searchText);

    // Deletes the current text after asking; refuses to delete the last one. True if deleted.
    bool remove();

    // The booking texts of the open lines, each once, in text order.
    static QStringList openLineTexts(Database& db);

  private:
    Database* db_;
    Dialogs& dialogs_;
    DataView view_;
};

} // namespace tb
