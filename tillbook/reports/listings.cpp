#include "listings.h"

#include "cash_date.h"

namespace tb {

QString listingKindText(ListingKind kind) {
    switch (kind) {
    case ListingKind::Tag:
        return QStringLiteral("Tag");
    case ListingKind::Auswahl:
        return QStringLiteral("Auswahl");
    case ListingKind::Kategorie:
        return QStringLiteral("Kategorie");
    case ListingKind::Alle:
        return QStringLiteral("alle");
    case ListingKind::Zeitraum:
        return QStringLiteral("Zeitraum");
    }
    return {};
}

void Listings::setPeriod(const QString& start, const QString& end) {
    start_ = start;
    end_ = end;
}

void Listings::allTimes() {
    start_ = defaultStart();
    end_ = defaultEnd();
    kind_ = ListingKind::Alle;
}

bool Listings::pickStart(Dialogs& dialogs, const Clock& clock) {
    QDate d = clock.today();
    const bool chosen = dialogs.getDate(d);
    if (chosen)
        start_ = cashdate::toText(d);
    kind_ = ListingKind::Zeitraum;
    return chosen;
}

bool Listings::pickEnd(Dialogs& dialogs, const Clock& clock) {
    QDate d = clock.today();
    const bool chosen = dialogs.getDate(d);
    if (chosen)
        end_ = cashdate::toText(d);
    return chosen;
}

} // namespace tb
