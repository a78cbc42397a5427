#include "core/probe/cafile.h"

#include <QFileInfo>

namespace tarnbell::core {

CaFile ReadCaFile(const QString& path) {
    CaFile read;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        read.problem = QStringLiteral("not a readable file");
        return read;
    }
    read.certificates = QSslCertificate::fromPath(path, QSsl::Pem);
    if (read.certificates.isEmpty())
        read.problem = QStringLiteral("no PEM certificate in it");
    return read;
}

} // namespace tarnbell::core
