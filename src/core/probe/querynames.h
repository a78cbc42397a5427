#pragma once
// How a domain as the user typed it becomes the bytes of a query name.

#include <QByteArray>
#include <QString>

namespace tarnbell::core {

// One byte per character for Latin-1 text (what a reply echoes back reads the same way); the
// IDNA (ACE) form of any other text, the name a resolver knows. An empty result for a
// non-empty domain means it has no IDNA form.
QByteArray queryNameBytes(const QString& domain);

} // namespace tarnbell::core
