#include "password_windows.h"
#include "passwords.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

using namespace tb;

static QString enc(const QString& t) {
    return scramble(t, kScrambleKey, ScrambleDirection::Encode);
}
static QString dec(const QString& t) {
    return scramble(t, kScrambleKey, ScrambleDirection::Decode);
}

TEST(Scramble, RoundTripHexFormAndKeyCycle) {
    const QString e = enc("abc");
    EXPECT_EQ(e.size(), 6);
    EXPECT_EQ(e, e.toUpper());
    EXPECT_EQ(dec(e), "abc");
    EXPECT_EQ(enc("a"), "30"); // 'a' (0x61) XOR 'Q' (0x51)
    // The eighth character meets the key's first character again.
    EXPECT_EQ(enc("xxxxxxxa").right(2), "30");
    // A value below 16 keeps its leading zero: 'P' XOR 'Q' = 1.
    EXPECT_EQ(enc("P"), "01");
    EXPECT_EQ(dec("301"), "a"); // odd length: last digit ignored
    EXPECT_EQ(dec(enc(QString::fromUtf8("Größe€"))), QString::fromUtf8("Größe€"));
    EXPECT_EQ(enc(""), "");
}

TEST(Scramble, StoredPasswordReading) {
    EXPECT_EQ(passwordFromMemo(""), "Hutwart");
    EXPECT_EQ(passwordFromMemo(enc("geheim")), "geheim");
    // Not written by us: taken as it stands, never as "no password".
    EXPECT_EQ(passwordFromMemo("ZZ"), "ZZ");
    EXPECT_EQ(passwordFromMemo("301"), "301");
    EXPECT_EQ(passwordFromMemo("51"), "51"); // decodes to NUL, which nobody can type
}

TEST(PasswordGuard, DefaultOpenOtherwiseAskedEveryTime) {
    test::ScriptedDialogs dialogs;
    PasswordGuard guard(dialogs);
    EXPECT_TRUE(guard.allow());
    EXPECT_EQ(dialogs.passwordPrompts, 0);
    guard.setCurrentPassword("ab");
    dialogs.typedPasswords = {"ab", "Ab"};
    EXPECT_TRUE(guard.allow());
    EXPECT_FALSE(guard.allow()); // case matters, and the grant was not remembered
    EXPECT_EQ(dialogs.passwordPrompts, 2);
}

TEST(PasswortCheck, ClosesOnTheMatchingCharacterEnterClears) {
    Passwort_check dlg("ab");
    dlg.show();
    QTest::keyClick(dlg.field(), 'a');
    QTest::keyClick(dlg.field(), Qt::Key_Return);
    EXPECT_TRUE(dlg.field()->text().isEmpty());
    EXPECT_TRUE(dlg.isVisible());
    QTest::keyClicks(dlg.field(), "Ab");
    EXPECT_FALSE(dlg.granted());
    dlg.field()->clear();
    QTest::keyClicks(dlg.field(), "ab");
    EXPECT_TRUE(dlg.granted());
    EXPECT_FALSE(dlg.isVisible());
}

TEST(PasswordChange, StagesMessagesAndStoredForm) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    SettingsRecord settings(&book.db());
    PasswordChange change(dialogs, settings, "Hutwart");
    EXPECT_FALSE(change.submitOld("falsch"));
    EXPECT_EQ(dialogs.last().text, "Falsches Passwort");
    EXPECT_EQ(dialogs.last().title, "Fehler !");
    EXPECT_EQ(change.stage(), PasswordChange::Stage::Old);
    EXPECT_TRUE(change.submitOld("Hutwart"));
    EXPECT_FALSE(change.submitNew("", ""));
    EXPECT_FALSE(change.submitNew("neu", "Neu"));
    EXPECT_EQ(dialogs.last().text, "Passwort wurde nicht geändert");
    EXPECT_EQ(change.stage(), PasswordChange::Stage::New);
    EXPECT_TRUE(change.submitNew("Hutwart", "Hutwart"));
    EXPECT_EQ(dialogs.last().text, "Passwort wurde geändert");
    EXPECT_EQ(dialogs.last().title, "Information");
    // The default stored in its encoded form switches the prompt off, also after a restart.
    EXPECT_EQ(book.setting("Memo10"), enc("Hutwart"));
    EXPECT_EQ(passwordFromMemo(book.setting("Memo10")), kDefaultPassword);
}

TEST(PasswortCheck, EveryCharacterShowsAsAStar) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    SettingsRecord settings{&book.db()};
    Passwort_check check("geheim");
    Passwort_aendern change(dialogs, settings, "Hutwart");
    for (QLineEdit* f : {check.field(), change.field1(), change.field2()}) {
        EXPECT_EQ(f->echoMode(), QLineEdit::Password);
        EXPECT_EQ(f->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, f), '*');
    }
}

TEST(PasswordChange, CharactersTheStoredFormCannotHoldAreRefused) {
    test::TempBook book;
    test::ScriptedDialogs dialogs;
    SettingsRecord settings{&book.db()};
    EXPECT_EQ(charactersOutsideCp1252(QString::fromUtf8("ä€Ω😀?Ωx")), QString::fromUtf8("Ω😀"));
    EXPECT_EQ(charactersOutsideCp1252(QString::fromUtf8("Grüße€ß")), "");
    for (const char* typed : {"Ωmega", "ä€😀"}) {
        PasswordChange change(dialogs, settings, "Hutwart");
        ASSERT_TRUE(change.submitOld("Hutwart"));
        const QString p = QString::fromUtf8(typed);
        EXPECT_FALSE(change.submitNew(p, p)) << typed;
        EXPECT_EQ(change.stage(), PasswordChange::Stage::New);
        EXPECT_TRUE(dialogs.last().text.startsWith(
            "Passwort wurde nicht geändert: Diese Zeichen können in einem Passwort nicht "
            "verwendet werden: "));
        EXPECT_EQ(book.setting("Memo10"), "");
        EXPECT_EQ(change.currentPassword(), "Hutwart");
    }
    EXPECT_TRUE(dialogs.last().text.contains(QString::fromUtf8("😀")));
    // What can be stored comes back after a restart as typed.
    PasswordChange change(dialogs, settings, "Hutwart");
    change.submitOld("Hutwart");
    ASSERT_TRUE(change.submitNew(QString::fromUtf8("Grüße€"), QString::fromUtf8("Grüße€")));
    EXPECT_EQ(passwordFromMemo(book.setting("Memo10")), QString::fromUtf8("Grüße€"));
}
