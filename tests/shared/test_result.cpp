#include "result.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace tb;

// The kind comes from the codes alone; the text is made only when it is asked for.
TEST(Result, KindFromTheCodesTextWhenShown) {
    const Result full = fromErrno(ENOSPC);
    EXPECT_EQ(full.kind, ErrorKind::DiskFull);
    EXPECT_EQ(full.code, ENOSPC);
    EXPECT_TRUE(full.detail.isEmpty());
    EXPECT_EQ(germanText(full), "Der Datenträger ist voll. (" + full.systemText + ")");
    EXPECT_EQ(fromErrno(EROFS).kind, ErrorKind::AccessDenied);
    EXPECT_EQ(fromErrno(ENOTDIR).kind, ErrorKind::NotFound);
    EXPECT_TRUE(fromErrno(0).ok());
    EXPECT_EQ(germanText(fromErrno(0)), "");

    const Result readOnly = fromEngine(8 | (1 << 8), "attempt to write a readonly database");
    EXPECT_EQ(readOnly.kind, ErrorKind::AccessDenied);
    EXPECT_EQ(readOnly.code, EACCES);
    EXPECT_EQ(readOnly.engineCode, 8 | (1 << 8));
    EXPECT_EQ(germanText(readOnly),
              "Die Datei ist schreibgeschützt. (attempt to write a readonly database)");
    // A cause passed on through a function arrives as a plain error with the engine's text.
    EXPECT_EQ(fromEngine(1, "disk is full").kind, ErrorKind::DiskFull);
    EXPECT_EQ(fromEngine(11, "database disk image is malformed").kind, ErrorKind::Other);

    // Our own words replace the text, never the kind.
    Result busy = fromErrno(EBUSY);
    busy.detail = "Die Datei ist gesperrt.";
    EXPECT_EQ(germanText(busy), "Die Datei ist gesperrt.");
    EXPECT_EQ(busy.kind, ErrorKind::Other);
    EXPECT_EQ(germanText(finding("Die Datei ist kein Kassenbuch.")),
              "Die Datei ist kein Kassenbuch.");
}
