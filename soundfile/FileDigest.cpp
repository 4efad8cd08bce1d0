#include "soundfile/FileDigest.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace soundfile {

bool sha256File(const std::string& path, std::string& hex, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) {
        error = "SHA-256 unavailable";
        return false;
    }
    std::vector<unsigned char> buf(1 << 16);
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0)
        EVP_DigestUpdate(ctx.get(), buf.data(), n);
    if (std::ferror(f.get())) {
        error = "cannot read " + path;
        return false;
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_DigestFinal_ex(ctx.get(), md, &len);
    static const char digits[] = "0123456789abcdef";
    hex.clear();
    for (unsigned i = 0; i < len; ++i) {
        hex += digits[md[i] >> 4];
        hex += digits[md[i] & 15];
    }
    return true;
}

} // namespace soundfile
