#include "booking_texts.h"

namespace tb {

BookingTexts::BookingTexts(Database* db, Dialogs& dialogs)
    : db_(db), dialogs_(dialogs), view_(db, schema::Texts::table, source()) {}

void BookingTexts::refresh() {
    view_.setSource(source());
    view_.refresh();
}

bool BookingTexts::startsWith(const QString& text, const QString& prefix) {
    if (prefix.size() > text.size())
        return false;
    return text.left(prefix.size()).toUpper() == prefix.toUpper();
}

bool BookingTexts::search(const QString& prefix) {
    const int c = view_.columnIndex(schema::Texts::text);
    if (c < 0)
        return false;
    return view_.findFirst([&](const DataView& v, int row) {
        return startsWith(v.valueAt(row, schema::Texts::text), prefix);
    });
}

void BookingTexts::next() {
    if (view_.position() < view_.recordCount() - 1)
        view_.moveNext();
    else
        view_.moveLast();
}

void BookingTexts::previous() {
    if (view_.position() > 0)
        view_.movePrevious();
    else
        view_.moveFirst();
}

std::optional<QString> BookingTexts::takeOver(const QString& searchText) {
    if (!searchText.isEmpty() && (view_.atEnd() || !startsWith(currentText(), searchText))) {
        const Answer a = dialogs_.message(
            QStringLiteral("Soll ") + searchText + QStringLiteral(" neu anlgelegt werden ?"),
            searchText + QStringLiteral(" nicht gefunden"), Icon::Question, Buttons::YesNo);
        if (a != Answer::Yes)
            return std::nullopt;
        view_.addNew();
        view_.setValue(schema::Texts::text, searchText);
        view_.update();
    }
    return currentText();
}

bool BookingTexts::remove() {
    if (view_.recordCount() == 1) {
        dialogs_.message(QStringLiteral("dieser Datensatz kann erst gelöscht werden, wenn ein "
                                        "neuer Kunde angelegt ist"),
                         {}, Icon::Information);
        return false;
    }
    if (view_.atEnd())
        return false;
    if (dialogs_.message(
            QStringLiteral("Soll ") + currentText() + QStringLiteral(" gelöscht werden ?"),
            QStringLiteral("Datensatz löschen"), Icon::Question, Buttons::YesNo) != Answer::Yes)
        return false;
    view_.remove();
    view_.moveFirst();
    return true;
}

QStringList BookingTexts::openLineTexts(Database& db) {
    // The index on (a12, n1) gives the open lines' texts in text order; a text is taken when it
    // differs from the one before, compared by its bytes, so only those become strings.
    QStringList texts;
    Statement st =
        db.prepare(QStringLiteral("Select n1 from Buchungen WHERE a12 = (?)Order by n1;"));
    st.bind(1, QStringLiteral("O"));
    std::string previous;
    bool first = true;
    while (st.next()) {
        const std::string_view t = st.utf8(0);
        if (!first && t == previous)
            continue;
        first = false;
        previous.assign(t);
        texts << QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    }
    return texts;
}

} // namespace tb
