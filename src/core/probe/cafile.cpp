#include "core/probe/cafile.h"

#include <QFile>
#include <QFileInfo>

namespace tarnbell::core {
namespace {

// A file of trusted authorities holds a few certificates, a few kilobytes each; anything
// far larger is the wrong file, and is not read into memory whole.
constexpr qint64 kMaxCaFileSize = 1024 * 1024;

} // namespace

CaFile ReadCaFile(const QString& path) {
    CaFile read;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        read.problem = QStringLiteral("not a readable file");
        return read;
    }
    // Read up to one byte over the cap: the size the file system reports may not be the size
    // read (a file still growing, a file of the kernel's).
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.problem = QStringLiteral("not a readable file");
        return read;
    }
    const QByteArray bytes = file.read(kMaxCaFileSize + 1);
    if (bytes.size() > kMaxCaFileSize) {
        read.problem = QStringLiteral("larger than 1 MiB, which no file of certificates is");
        return read;
    }
    read.certificates = QSslCertificate::fromData(bytes, QSsl::Pem);
    if (read.certificates.isEmpty())
        read.problem = QStringLiteral("no PEM certificate in it");
    return read;
}

} // namespace tarnbell::core
