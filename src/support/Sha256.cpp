#include "support/Sha256.h"

#include <QFile>

#include <openssl/evp.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vimosync {

namespace {

struct CtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_MD_CTX, CtxFree>;

Ctx newContext() {
    Ctx c(EVP_MD_CTX_new());
    if (c && EVP_DigestInit_ex(c.get(), EVP_sha256(), nullptr) != 1) {
        c.reset();
    }
    return c;
}

QByteArray finish(EVP_MD_CTX* c) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_DigestFinal_ex(c, md, &n) != 1) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(md), static_cast<qsizetype>(n)).toHex();
}

} // namespace

QByteArray Sha256Hex(const char* data, std::size_t size) {
    Ctx c = newContext();
    if (!c || EVP_DigestUpdate(c.get(), data, size) != 1) {
        return {};
    }
    return finish(c.get());
}

bool DigestOfFile(const QString& path, FileDigest& out) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    Ctx c = ok ? newContext() : Ctx();
    ok = ok && c;
    qint64 size = 0;
    std::vector<char> buf(1 << 20);
    while (ok) {
        const ssize_t r = ::read(fd, buf.data(), buf.size());
        if (r < 0) {
            ok = errno == EINTR;
            continue;
        }
        if (r == 0) {
            break;
        }
        size += r;
        ok = EVP_DigestUpdate(c.get(), buf.data(), static_cast<std::size_t>(r)) == 1;
    }
    ::close(fd);
    if (!ok) {
        return false;
    }
    out.size = size;
    out.sha256 = finish(c.get());
    return !out.sha256.isEmpty();
}

} // namespace vimosync
