#include "data/KeyDerivation.h"

// The block function is all this needs; the generic digest layer is what makes the derivation slow.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <array>
#include <cstring>
#include <future>
#include <vector>

namespace tenvora {

namespace {

constexpr int kBlock = SHA_CBLOCK;         // 64
constexpr int kDigest = SHA_DIGEST_LENGTH; // 20

using Digest = std::array<unsigned char, kDigest>;

struct HmacStates {
    SHA_CTX inner; // after the key XOR 0x36 block
    SHA_CTX outer; // after the key XOR 0x5c block
};

void storeDigest(const SHA_CTX& ctx, unsigned char* out) {
    const SHA_LONG h[5] = {ctx.h0, ctx.h1, ctx.h2, ctx.h3, ctx.h4};
    for (int i = 0; i < 5; ++i) {
        out[4 * i] = static_cast<unsigned char>(h[i] >> 24);
        out[4 * i + 1] = static_cast<unsigned char>(h[i] >> 16);
        out[4 * i + 2] = static_cast<unsigned char>(h[i] >> 8);
        out[4 * i + 3] = static_cast<unsigned char>(h[i]);
    }
}

// T_index of RFC 8018: U_1 = HMAC(salt || index), U_n = HMAC(U_n-1), T = U_1 ^ ... ^ U_iterations.
Digest outputBlock(const HmacStates& states, const QByteArray& salt, quint32 index, int iterations) {
    const unsigned char counter[4] = {static_cast<unsigned char>(index >> 24), static_cast<unsigned char>(index >> 16),
                                      static_cast<unsigned char>(index >> 8), static_cast<unsigned char>(index)};
    Digest u;
    SHA_CTX ctx = states.inner;
    SHA1_Update(&ctx, salt.constData(), static_cast<size_t>(salt.size()));
    SHA1_Update(&ctx, counter, sizeof counter);
    SHA1_Final(u.data(), &ctx);
    ctx = states.outer;
    SHA1_Update(&ctx, u.data(), kDigest);
    SHA1_Final(u.data(), &ctx);

    // From the second iteration on, each HMAC hashes one digest after a key block: a single
    // padded block whose tail (0x80, zeros, the bit length of 64 + 20 bytes) never changes.
    std::array<unsigned char, kBlock> message{};
    message[kDigest] = 0x80;
    constexpr unsigned bits = (kBlock + kDigest) * 8;
    message[kBlock - 2] = static_cast<unsigned char>(bits >> 8);
    message[kBlock - 1] = static_cast<unsigned char>(bits & 0xff);

    Digest t = u;
    for (int i = 1; i < iterations; ++i) {
        std::memcpy(message.data(), u.data(), kDigest);
        ctx = states.inner;
        SHA1_Transform(&ctx, message.data());
        storeDigest(ctx, message.data());
        ctx = states.outer;
        SHA1_Transform(&ctx, message.data());
        storeDigest(ctx, u.data());
        for (int b = 0; b < kDigest; ++b)
            t[static_cast<size_t>(b)] ^= u[static_cast<size_t>(b)];
    }
    return t;
}

} // namespace

QByteArray Pbkdf2HmacSha1(const QByteArray& passphrase, const QByteArray& salt, int iterations, int length) {
    // HMAC keys longer than a block are hashed first.
    std::array<unsigned char, kBlock> key{};
    if (passphrase.size() > kBlock)
        SHA1(reinterpret_cast<const unsigned char*>(passphrase.constData()), static_cast<size_t>(passphrase.size()),
             key.data());
    else
        std::memcpy(key.data(), passphrase.constData(), static_cast<size_t>(passphrase.size()));

    // The states after the padded key blocks are the same for every iteration: computed once.
    HmacStates states;
    std::array<unsigned char, kBlock> pad{};
    for (int i = 0; i < kBlock; ++i)
        pad[static_cast<size_t>(i)] = key[static_cast<size_t>(i)] ^ 0x36;
    SHA1_Init(&states.inner);
    SHA1_Update(&states.inner, pad.data(), kBlock);
    for (int i = 0; i < kBlock; ++i)
        pad[static_cast<size_t>(i)] = key[static_cast<size_t>(i)] ^ 0x5c;
    SHA1_Init(&states.outer);
    SHA1_Update(&states.outer, pad.data(), kBlock);

    // The output blocks do not depend on each other: all but the first run on threads of their
    // own, so a 32-byte key (two blocks) takes half the time where a second core is free.
    const int blocks = (length + kDigest - 1) / kDigest;
    std::vector<std::future<Digest>> others;
    for (int index = 2; index <= blocks; ++index)
        others.push_back(std::async(std::launch::async, outputBlock, std::cref(states), std::cref(salt),
                                    static_cast<quint32>(index), iterations));
    QByteArray derived;
    const Digest first = outputBlock(states, salt, 1, iterations);
    derived.append(reinterpret_cast<const char*>(first.data()), kDigest);
    for (std::future<Digest>& block : others) {
        const Digest d = block.get();
        derived.append(reinterpret_cast<const char*>(d.data()), kDigest);
    }
    derived.truncate(length);
    return derived;
}

} // namespace tenvora
