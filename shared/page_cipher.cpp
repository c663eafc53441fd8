#include "page_cipher.h"

#include "file_copy.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tb::pagecipher {

namespace {
using uchar = unsigned char;

constexpr int kIv = 16;
constexpr int kHmac = 20;
constexpr int kSalt = 16;
constexpr int kKeyBytes = 32;
constexpr int kIterations = 64000;   // the key from the password
constexpr int kMacIterations = 2;    // the HMAC key from the key
constexpr uchar kMacSaltMask = 0x3a; // the HMAC key's salt is the file's salt XOR this
constexpr int kUsable = kPageSize - kReserve;
// The engine never reads or writes the page that holds the lock bytes at 1 GiB; it is copied
// as it stands.
constexpr quint32 kLockPage = 0x40000000 / kPageSize + 1;
constexpr int kChunkPages = 1024; // read and written 1 MiB at a time

const uchar kHeader[kSalt] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                              'o', 'r', 'm', 'a', 't', ' ', '3', 0};

// The header of a plain page 1 says pages of 1024 bytes with 48 reserved.
bool isOurForm(const uchar* page) {
    return page[16] == (kPageSize >> 8) && page[17] == (kPageSize & 0xff) && page[20] == kReserve;
}

struct Keys {
    uchar key[kKeyBytes];
    uchar mac[kKeyBytes];
};

// The keys of a salt under a password. Deriving them takes tens of milliseconds by design, and
// the same file is opened several times at the start and the end of a run: each salt's keys are
// derived once per process.
std::mutex mutex;
std::map<QByteArray, Keys> derived;

bool keysOf(const QByteArray& password, const uchar* salt, Keys& out) {
    const QByteArray id = QByteArray(reinterpret_cast<const char*>(salt), kSalt) + password;
    const std::lock_guard<std::mutex> hold(mutex);
    if (const auto known = derived.find(id); known != derived.end()) {
        out = known->second;
        return true;
    }
    uchar macSalt[kSalt];
    for (int i = 0; i < kSalt; ++i)
        macSalt[i] = salt[i] ^ kMacSaltMask;
    if (PKCS5_PBKDF2_HMAC(password.constData(), static_cast<int>(password.size()), salt, kSalt,
                          kIterations, EVP_sha1(), kKeyBytes, out.key) != 1 ||
        PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(out.key), kKeyBytes, macSalt, kSalt,
                          kMacIterations, EVP_sha1(), kKeyBytes, out.mac) != 1)
        return false;
    if (derived.size() >= 16)
        derived.clear();
    derived.emplace(id, out);
    return true;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads exactly size bytes at offset; false with errno set when the file ends early or fails.
bool readAll(int fd, uchar* buffer, size_t size, off_t offset) {
    const qint64 n = readFully(fd, buffer, size, offset);
    if (n >= 0 && static_cast<size_t>(n) != size)
        errno = EIO; // the file changed under us
    return n >= 0 && static_cast<size_t>(n) == size;
}

// A failure the system reported; a cause is kept even where it left no error number.
Pass failed(int err) {
    return {Pass::Failed, fromErrno(err != 0 ? err : EIO)};
}

Pass transform(int in, const QString& dst, const QByteArray& password, bool encrypt) {
    struct stat st {};
    if (::fstat(in, &st) != 0)
        return failed(errno);
    if (st.st_size < kPageSize || st.st_size % kPageSize != 0)
        return {Pass::NotApplicable, {}};
    const auto pages = static_cast<quint32>(st.st_size / kPageSize);

    std::vector<uchar> plain(static_cast<size_t>(kChunkPages) * kPageSize);
    std::vector<uchar> keyed(plain.size());
    std::vector<uchar> random(static_cast<size_t>(kChunkPages) * kReserve);
    uchar* const from = encrypt ? plain.data() : keyed.data();
    uchar* const to = encrypt ? keyed.data() : plain.data();

    // Page 1 decides whether the pass applies: a plain file in our page form, or a keyed file
    // whose first page checks out under the password and is in that form.
    if (!readAll(in, from, kPageSize, 0))
        return failed(errno);
    PageCodec codec;
    uchar salt[kSalt];
    if (encrypt) {
        if (std::memcmp(from, kHeader, kSalt) != 0 || !isOurForm(from))
            return {Pass::NotApplicable, {}};
        if (RAND_bytes(salt, kSalt) != 1)
            return failed(EIO);
    } else {
        std::memcpy(salt, from, kSalt);
    }
    if (!codec.init(password, salt, encrypt))
        return failed(EIO);
    if (!encrypt && (!codec.decrypt(1, from, to) || !isOurForm(to)))
        return {Pass::NotApplicable, {}};

    Fd out;
    out.fd =
        ::open(QFile::encodeName(dst).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out.fd < 0)
        return failed(errno);
    Writeback writeback(out.fd);
    for (quint32 first = 1; first <= pages; first += kChunkPages) {
        const quint32 count = std::min<quint32>(kChunkPages, pages - first + 1);
        const size_t bytes = static_cast<size_t>(count) * kPageSize;
        if (!readAll(in, from, bytes, static_cast<off_t>(first - 1) * kPageSize))
            return failed(errno);
        if (encrypt && RAND_bytes(random.data(), static_cast<int>(count) * kReserve) != 1)
            return failed(EIO);
        for (quint32 i = 0; i < count; ++i) {
            const quint32 pgno = first + i;
            const uchar* page = from + static_cast<size_t>(i) * kPageSize;
            uchar* result = to + static_cast<size_t>(i) * kPageSize;
            if (pgno == kLockPage) {
                std::memcpy(result, page, kPageSize);
                continue;
            }
            const bool ok =
                encrypt ? codec.encrypt(pgno, page, result, random.data() + size_t{i} * kReserve)
                        : codec.decrypt(pgno, page, result);
            if (!ok) {
                if (encrypt)
                    return failed(EIO);
                return {Pass::NotApplicable, {}}; // a damaged page: the engine will say so
            }
        }
        if (!writeFully(out.fd, to, bytes))
            return failed(errno);
        writeback.wrote(static_cast<qint64>(first - 1 + count) * kPageSize);
    }
    if (::fsync(out.fd) != 0)
        return failed(errno);
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0)
        return failed(errno);
    return {Pass::Done, {}};
}
} // namespace

PageCodec::~PageCodec() {
    EVP_CIPHER_CTX_free(cipher_);
    EVP_MAC_CTX_free(mac_);
    EVP_MAC_free(macType_);
}

bool PageCodec::init(const QByteArray& password, const uchar* salt, bool encrypt) {
    encrypt_ = encrypt;
    std::memcpy(salt_, salt, kSalt);
    Keys keys;
    char sha1[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, sha1, 0),
                                 OSSL_PARAM_END};
    return keysOf(password, salt, keys) && (cipher_ = EVP_CIPHER_CTX_new()) != nullptr &&
           EVP_CipherInit_ex(cipher_, EVP_aes_256_cbc(), nullptr, keys.key, nullptr, encrypt) ==
               1 &&
           EVP_CIPHER_CTX_set_padding(cipher_, 0) == 1 &&
           (macType_ = EVP_MAC_fetch(nullptr, "HMAC", nullptr)) != nullptr &&
           (mac_ = EVP_MAC_CTX_new(macType_)) != nullptr &&
           EVP_MAC_init(mac_, keys.mac, kKeyBytes, params) == 1;
}

bool PageCodec::encrypt(quint32 pgno, const uchar* in, uchar* out, const uchar* random) {
    const int offset = pgno == 1 ? kSalt : 0;
    if (pgno == 1)
        std::memcpy(out, salt_, kSalt);
    std::memcpy(out + kUsable, random, kReserve);
    return crypt(out + kUsable, in + offset, out + offset, kUsable - offset) &&
           mac(pgno, out + offset, kUsable - offset, out + kUsable + kIv);
}

bool PageCodec::decrypt(quint32 pgno, const uchar* in, uchar* out) {
    const int offset = pgno == 1 ? kSalt : 0;
    uchar check[kHmac];
    if (!mac(pgno, in + offset, kUsable - offset, check) ||
        std::memcmp(check, in + kUsable + kIv, kHmac) != 0)
        return false;
    if (pgno == 1)
        std::memcpy(out, kHeader, kSalt);
    std::memcpy(out + kUsable, in + kUsable, kReserve);
    return crypt(in + kUsable, in + offset, out + offset, kUsable - offset);
}

bool PageCodec::crypt(const uchar* iv, const uchar* in, uchar* out, int size) {
    int n = 0;
    return EVP_CipherInit_ex(cipher_, nullptr, nullptr, nullptr, iv, encrypt_) == 1 &&
           EVP_CipherUpdate(cipher_, out, &n, in, size) == 1 && n == size;
}

// Over the encrypted bytes and the IV after them, then the page number (little-endian).
bool PageCodec::mac(quint32 pgno, const uchar* data, int size, uchar* out) {
    const uchar number[4] = {static_cast<uchar>(pgno), static_cast<uchar>(pgno >> 8),
                             static_cast<uchar>(pgno >> 16), static_cast<uchar>(pgno >> 24)};
    uchar full[EVP_MAX_MD_SIZE];
    size_t length = 0;
    if (EVP_MAC_init(mac_, nullptr, 0, nullptr) != 1 ||
        EVP_MAC_update(mac_, data, static_cast<size_t>(size + kIv)) != 1 ||
        EVP_MAC_update(mac_, number, sizeof number) != 1 ||
        EVP_MAC_final(mac_, full, &length, sizeof full) != 1 || length != kHmac)
        return false;
    std::memcpy(out, full, kHmac);
    return true;
}

void forgetDerivedKeys() {
    const std::lock_guard<std::mutex> hold(mutex);
    derived.clear();
}

QByteArray rawKeyOf(const QByteArray& fileStart, const QByteArray& password) {
    const auto* salt = reinterpret_cast<const uchar*>(fileStart.constData());
    Keys keys;
    if (password.isEmpty() || fileStart.size() < kSalt || std::memcmp(salt, kHeader, kSalt) == 0 ||
        !keysOf(password, salt, keys))
        return {};
    return "x'" + QByteArray(reinterpret_cast<const char*>(keys.key), kKeyBytes).toHex() + "'";
}

Pass encryptFile(int src, const QString& dst, const QByteArray& password) {
    return transform(src, dst, password, true);
}

Pass decryptFile(int src, const QString& dst, const QByteArray& password) {
    return transform(src, dst, password, false);
}

} // namespace tb::pagecipher
