#pragma once
// The two input lists' shared rules: at most 99 entries each, the prompts that ask for a new
// entry, the messages shown when a list is full, and the test that a domain can be queried.

#include <QString>
#include <QStringList>

namespace tarnbell::core {

// 99 x 99 lookups keep a run's counters and the two-digit count boxes within their range.
inline constexpr int kListLimit = 99;

enum class ListKind { Domains, Servers };

// True when a list holding `count` entries takes no more.
constexpr bool ListIsFull(int count) {
    return count >= kListLimit;
}

// The input-box prompt for a new entry.
QString AddEntryPrompt(ListKind kind);

// The four-line message (lines joined by CR LF) shown instead of the prompt on a full list.
QString ListFullMessage(ListKind kind);

// The message that refuses to start a run while the list is empty.
QString EmptyListMessage(ListKind kind);

// Why `domain` cannot be asked, in a few words ("it holds a blank"): a blank or a control
// character anywhere in it (no DNS name holds one, and a typing slip should not become a
// query), a label over 255 bytes, a name too long for the query buffer, text without an
// IDNA form. The empty text when it can be asked. The command-line tool refuses such a
// domain with these words, the window with DomainQueryProblem().
QString DomainNameFault(const QString& domain);

// DomainNameFault() as a message for the user; the empty text when the domain can be
// queried.
QString DomainQueryProblem(const QString& domain);

// Why `entry` cannot be a server entry (a port outside 1-65535, an octal or hexadecimal
// address, a control character, an entry over 1,024 characters: the rules the command-line
// tool applies), as a message for the user; the empty text when it can.
QString ServerEntryProblem(const QString& entry);

// Entries that come from outside the window (a list file, the lists remembered from the last
// start): the first 99, of domains only those a query can carry, of servers only those
// ServerEntryProblem() takes. `dropped`, when given, gets the number left out.
QStringList AcceptedEntries(ListKind kind, const QStringList& entries, int* dropped = nullptr);

// The one message that says how many entries of `source` ("list.txt", "the lists remembered
// from the last start") were left out, and why entries are.
QString LeftOutMessage(int dropped, const QString& source);

} // namespace tarnbell::core
