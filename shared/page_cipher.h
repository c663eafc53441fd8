#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>
#include <openssl/types.h>

namespace tb::pagecipher {

// The keyed data file is the engine's 3.x format: pages of 1024 bytes, 48 of them reserved at
// the end of each page for its IV and HMAC, each page encrypted on its own (AES-256-CBC, keys
// from the password by PBKDF2-HMAC-SHA1 over the salt in the first 16 bytes of the file). A
// plain file with the same page size and reserve maps onto it page by page, so taking the
// password off or putting it back is one pass over the bytes instead of a rebuild of every
// table and index.
constexpr int kPageSize = 1024;
constexpr int kReserve = 48;

// How a pass over the pages ended.
struct Pass {
    enum Kind {
        Done,
        // The file is not in the form the pass handles (another page size or reserve, a page
        // that does not check out, a length that is not whole pages): the engine must rewrite
        // it. Nothing was written.
        NotApplicable,
        Failed, // reading or writing failed; failure says how
    } kind = Done;
    Result failure;
};

// The key of a keyed file under the password, from the file's first 16 bytes (its salt), in the
// form the engine takes a raw key ("x'<64 hex digits>'"), so opening the file does not derive it
// again; empty when there is no salt to derive it from (a short or a plain file).
QByteArray rawKeyOf(const QByteArray& fileStart, const QByteArray& password);

// Keys are derived once per salt and process; a benchmark forgets them to time a fresh start.
void forgetDerivedKeys();

// AES-256-CBC and HMAC-SHA1 under one file's keys, set up once and reused for every page.
class PageCodec {
  public:
    PageCodec() = default;
    ~PageCodec();
    PageCodec(const PageCodec&) = delete;
    PageCodec& operator=(const PageCodec&) = delete;

    // The keys of the salt (the file's first 16 bytes) under the password; false when the
    // library fails.
    bool init(const QByteArray& password, const unsigned char* salt, bool encrypt);
    // One plain page into its keyed form; random holds the 48 bytes of its reserve (the IV
    // first).
    bool encrypt(quint32 pgno, const unsigned char* in, unsigned char* out,
                 const unsigned char* random);
    // One keyed page into its plain form (the reserve copied as it stands); false when its
    // HMAC does not match: a damaged page, or the wrong password.
    bool decrypt(quint32 pgno, const unsigned char* in, unsigned char* out);

  private:
    bool crypt(const unsigned char* iv, const unsigned char* in, unsigned char* out, int size);
    bool mac(quint32 pgno, const unsigned char* data, int size, unsigned char* out);

    bool encrypt_ = true;
    unsigned char salt_[16]{};
    evp_cipher_ctx_st* cipher_ = nullptr;
    evp_mac_st* macType_ = nullptr;
    evp_mac_ctx_st* mac_ = nullptr;
};

// Writes the keyed form of the plain file open as src to dst under a new salt, or the plain form
// of the keyed file open as src. dst is created (or emptied) and flushed to disk; on anything but
// Done it is left for the caller to remove. The caller holds a read lock of the engine on src
// meanwhile (no writer, no journal to roll back) and closes src only after that lock is gone:
// closing a descriptor drops every lock the process holds on the file.
Pass encryptFile(int src, const QString& dst, const QByteArray& password);
Pass decryptFile(int src, const QString& dst, const QByteArray& password);

} // namespace tb::pagecipher
