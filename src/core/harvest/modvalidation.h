#pragma once
// The address test of the harvester: a harvested host name that is really an IPv4 address
// is not worth benchmarking as a domain.

#include <QString>

namespace tarnbell::core {

// True exactly when `host` is four "."-separated parts that each read as a whole number
// from 0 to 255. A part reads as a number when it is optional blanks (space, tab), an
// optional "+" or "-", one or more ASCII digits and optional blanks again; "-0" reads as 0.
// Hexadecimal, exponents, thousands separators and currency signs are refused, so an
// unusual host name is kept as a name rather than mistaken for an address. The text is
// split at every ".", so a part never holds a decimal point and no rounding is involved.
// The first empty, non-numeric or out-of-range part ends the test with false.
bool IsIPAddress(const QString& host) noexcept;

} // namespace tarnbell::core
