#pragma once

// SHA-256 of contents and files, through OpenSSL's libcrypto (which uses the processor's
// SHA instructions where there are some: several times faster than a portable one).

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>

namespace vimosync {

// The digest of the bytes, as 64 lower-case hexadecimal digits.
QByteArray Sha256Hex(const char* data, std::size_t size);
inline QByteArray Sha256Hex(const std::string& bytes) {
    return Sha256Hex(bytes.data(), bytes.size());
}

// The size and digest of a regular file (through a symbolic link). False when there is
// no regular file at path or it cannot be read.
struct FileDigest {
    qint64 size = -1;
    QByteArray sha256;
};
bool DigestOfFile(const QString& path, FileDigest& out);

} // namespace vimosync
