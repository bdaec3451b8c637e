// The data file's key derivation (PBKDF2 with HMAC-SHA1), computed here rather than by the store:
// the store's own derivation goes through the crypto library's generic layer for every one of
// its many iterations and makes every open of the file several times slower.
#pragma once

#include <QByteArray>

namespace tenvora {

// PBKDF2-HMAC-SHA1 of the passphrase and salt (RFC 8018), `length` bytes.
QByteArray Pbkdf2HmacSha1(const QByteArray& passphrase, const QByteArray& salt, int iterations, int length);

// The store's defaults for the files it writes (and the owner delivers): salt in the first 16
// bytes of the file, 64,000 iterations, a 32-byte key.
inline constexpr int kFileSaltBytes = 16;
inline constexpr int kFileKdfIterations = 64000;
inline constexpr int kFileKeyBytes = 32;

} // namespace tenvora
