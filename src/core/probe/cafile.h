#pragma once
// A private certificate authority's file, as tarnbell-cli's --ca-file and the window's
// "Trusted CA file" take it: PEM, one certificate or more.

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace tarnbell::core {

struct CaFile {
    QList<QSslCertificate> certificates;
    QString problem; // why none could be taken, in plain words; empty when some were
};

CaFile ReadCaFile(const QString& path);

} // namespace tarnbell::core
