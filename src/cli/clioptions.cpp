#include "cli/clioptions.h"

#include "core/lists/controltext.h"
#include "core/lists/defaultservers.h"
#include "core/lists/listfile.h"
#include "core/lists/listlimits.h"
#include "core/probe/cafile.h"
#include "core/probe/serverendpoint.h"
#include "core/run/recordtypes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace tarnbell::cli {

namespace {

constexpr double kMaxTimeoutSeconds = core::kUnansweredSeconds;
constexpr int kMaxRounds = 20;

// Wrapped by hand: the parser prints the description as it is.
const QString kDescription = QStringLiteral(
    "Tells which DNS resolver answers fastest: every server is asked about every\n"
    "domain, one query at a time over UDP, TCP, DNS over TLS or DNS over HTTPS,\n"
    "each answer timed with a monotonic clock.\n"
    "\n"
    "A server entry is ADDR, ADDR:PORT, [IPv6]:PORT or a host name, optionally\n"
    "followed by \" - label\"; tcp://HOST[:PORT] asks over TCP (port 53),\n"
    "tls://HOST[:PORT] over TLS (853), https://HOST[:PORT][/PATH] over HTTPS (443,\n"
    "/dns-query); tls://ADDR#NAME and https://ADDR#NAME/PATH connect to ADDR and\n"
    "check NAME's certificate. A stream connection is kept for the server's next\n"
    "lookups and its set-up timed apart (connect_ms, connections in the JSON),\n"
    "unless --fresh-connections times every lookup on a new one. --defaults gives\n"
    "the window's list: the machine's own resolver first (\" - local\"), then the\n"
    "built-in public resolvers. Servers are asked in this order: --defaults, each\n"
    "--servers file, each --server; domains: --default-domains (the window's\n"
    "built-in list of popular names), each --domains file, each --domain. At most\n"
    "99 servers and 99 domains.\n"
    "\n"
    "--checks checks each server before its lookups (never timed): whether it\n"
    "answers names that do not exist honestly, validates DNSSEC (--dnssec-names\n"
    "SIGNED,BOGUS), keeps a public name for a private address out (--rebind-name),\n"
    "answers over TCP and with EDNS (and its NSID), and which encrypted endpoints\n"
    "it designates for itself (RFC 9462), verified when their certificate covers\n"
    "its address. --discover adds those endpoints to the run.\n"
    "\n"
    "--kinds chooses what each domain is asked as, any of: listed (the name as\n"
    "it is, the default), cached (asked once untimed, then timed: the resolver's\n"
    "own time on a cache hit), uncached (a new random label under the name, so\n"
    "the resolver must ask the name's servers) and tld (a new random label under\n"
    "its top-level domain). Uncached and tld answers are checked: one whose\n"
    "negative TTL shows it came from a cache (RFC 8198 aggressive NSEC) is\n"
    "counted as cache_check from_cache and left out of that kind's times.\n"
    "\n"
    "A lookup that gets no answer within --timeout counts as 10 s (10000 ms) in\n"
    "every figure, as in the window, so runs with different timeouts stay\n"
    "comparable with each other and with the window's. So does a lookup that fails\n"
    "outright (a server name that does not resolve).\n"
    "\n"
    "The CSV is what the window's \"Export CSV\" writes for the same rows: the\n"
    "lookups in run order, two empty lines, the servers ordered by mean. The JSON\n"
    "holds every lookup's seconds and each server's mean, median (of whole\n"
    "milliseconds, as the window's, and median_exact_ms), minimum, maximum and\n"
    "population standard deviation in milliseconds at full precision, and\n"
    "p_fastest: the share of 1,000 bootstrap resamples of its times in which its\n"
    "median is the lowest. The fastest by median is the lowest exact median.\n"
    "\n"
    "Every entry is checked before the first query, by the window's rules: a\n"
    "server entry with a port outside 1-65535, an octal or hexadecimal IPv4 form,\n"
    "a control character or over 1024 characters is refused, and so is a domain\n"
    "with a blank or a control character or too long for a query. List files must\n"
    "be UTF-8 regular files.\n"
    "\n"
    "A reply that refuses or cannot answer (REFUSED, SERVFAIL, NOTIMP, FORMERR)\n"
    "counts as a failed lookup, like a timeout; NXDOMAIN is an answer. When no\n"
    "lookup got an answer, no server is named fastest.\n"
    "\n"
    "With --rounds N the domain list is asked N times, each round starting one\n"
    "server further down the list; the JSON gives the figures of each name's\n"
    "first ask of a server (\"first\") and of the asks after it (\"repeat\") beside\n"
    "those of all lookups.\n"
    "\n"
    "On a terminal, unless --quiet, a table of each server's figures follows the\n"
    "completion text, fastest first, \"tied\" marking the servers that a\n"
    "Mann-Whitney test at the 5% level cannot tell from the fastest.\n"
    "\n"
    "On a terminal a progress bar goes to standard error; the completion text does\n"
    "too unless --quiet is given.\n"
    "\n"
    "SIGINT (Ctrl-C), SIGTERM or SIGHUP stops the run after the lookup under way:\n"
    "the outputs hold every finished lookup and each started server's figures, the\n"
    "JSON says \"interrupted\": true. A second signal quits at once.\n"
    "\n"
    "Exit status: 0 the run finished and everything was written, 1 an output\n"
    "could not be written (standard output included), 2 bad usage or input (then\n"
    "nothing is sent or written), 130, 143 or 129 stopped by SIGINT, SIGTERM or\n"
    "SIGHUP.\n");

const QString kStandardOutput = QStringLiteral("-");

ParsedCommandLine fail(const QString& text) {
    ParsedCommandLine result;
    result.action = ParsedCommandLine::Action::Fail;
    result.text = text;
    return result;
}

// A mistake in the command line itself, where the help is what the user needs next.
ParsedCommandLine usageError(const QString& text) {
    return fail(text +
                QStringLiteral(" Try '%1 --help'.").arg(QCoreApplication::applicationName()));
}

// Qt's help names the program by the path it was started with; the usage line shows the
// program's name, as the help of other tools does.
QString helpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    const QString started = QStringLiteral("Usage: ") + QCoreApplication::arguments().value(0);
    if (text.startsWith(started))
        text.replace(0, started.size(),
                     QStringLiteral("Usage: ") + QCoreApplication::applicationName());
    return text;
}

// The entry and where it came from, for the message that refuses it: the rules the window
// applies to typed, imported and remembered entries.
bool checkEntry(core::ListKind kind, const QString& entry, const QString& where, QString* error) {
    if (kind == core::ListKind::Domains) {
        const QString fault = core::DomainNameFault(entry);
        if (fault.isEmpty())
            return true;
        // Shown escaped and cut, as a refused server entry is: it goes to a terminal.
        constexpr qsizetype kShownLength = 64;
        QString shown = core::escapeControlCharacters(
            QStringView(entry).first(std::min(entry.size(), kShownLength)));
        if (entry.size() > kShownLength)
            shown += QStringLiteral("...");
        *error = QStringLiteral("bad domain (%1): \"%2\" cannot be queried: %3")
                     .arg(where, shown, fault);
        return false;
    }
    const core::ServerEndpoint endpoint = core::parseServerEntry(entry);
    if (endpoint.isValid())
        return true;
    QString why = endpoint.errorText;
    if (why.startsWith(QLatin1String("Error: ")))
        why.remove(0, 7);
    *error = QStringLiteral("bad server entry (%1): %2").arg(where, why);
    return false;
}

// Two names for one file: the same inode when it exists, otherwise the same canonical
// folder and name. Symbolic and hard links count as the same file.
bool sameFile(const QString& a, const QString& b) {
    struct stat statusA {};
    struct stat statusB {};
    if (::stat(QFile::encodeName(a).constData(), &statusA) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &statusB) == 0)
        return statusA.st_dev == statusB.st_dev && statusA.st_ino == statusB.st_ino;
    const auto where = [](const QString& path) {
        QFileInfo info(path);
        // A link to a file not yet there is written through, to where it points.
        for (int hops = 0; hops < 40 && info.isSymLink(); ++hops)
            info.setFile(info.symLinkTarget());
        const QString folder = info.dir().canonicalPath();
        return folder.isEmpty() ? info.absoluteFilePath() : folder + '/' + info.fileName();
    };
    return where(a) == where(b);
}

bool isSpecialFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

// The window's four-line message, on one line, after the count that was given.
QString tooMany(core::ListKind kind, qsizetype count) {
    const QString what =
        kind == core::ListKind::Domains ? QStringLiteral("domains") : QStringLiteral("DNS Servers");
    QString message = core::ListFullMessage(kind);
    message.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return QStringLiteral("%1 %2 given. %3").arg(count).arg(what, message);
}

QString recordTypeChoice(const QString& mnemonic) {
    for (const QString& choice : core::RecordTypeChoices()) {
        if (choice.section(QLatin1Char(' '), 0, 0).compare(mnemonic, Qt::CaseInsensitive) == 0)
            return choice;
    }
    return {};
}

// Appends the entries of every file named by `option`; false with `error` set on failure.
// Entries are checked on the way, so the message can give the line.
bool appendFiles(const QCommandLineParser& parser, const QString& option, core::ListKind kind,
                 QStringList& entries, QString* error) {
    for (const QString& path : parser.values(option)) {
        QString reason;
        const std::optional<QList<core::ListLine>> read = core::readListFile(path, &reason);
        if (!read) {
            *error = QStringLiteral("cannot read the --%1 file %2: %3").arg(option, path, reason);
            return false;
        }
        for (const core::ListLine& line : *read) {
            if (!checkEntry(
                    kind, line.text,
                    QStringLiteral("the --%1 file %2, line %3").arg(option, path).arg(line.line),
                    error))
                return false;
            entries.append(line.text);
        }
    }
    return true;
}

bool appendValues(const QCommandLineParser& parser, const QString& option, core::ListKind kind,
                  QStringList& entries, QString* error) {
    const QStringList values = parser.values(option);
    for (qsizetype i = 0; i < values.size(); ++i) {
        // Trimmed as a file's lines are: a blank before the address would leave it empty.
        const QString value = values.at(i).trimmed();
        if (value.isEmpty()) {
            *error = QStringLiteral("an empty --%1 value").arg(option);
            return false;
        }
        if (!checkEntry(kind, value, QStringLiteral("--%1 number %2").arg(option).arg(i + 1),
                        error))
            return false;
        entries.append(value);
    }
    return true;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments,
                                   const std::function<QStringList()>& defaultServers) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
    const QCommandLineOption server({"s", "server"}, "Add a DNS server entry (repeatable).",
                                    "entry");
    const QCommandLineOption servers(
        "servers",
        "Add the server entries of a file, one a line; blank lines and # lines "
        "are skipped (repeatable).",
        "file");
    const QCommandLineOption defaults(
        "defaults", "Add the window's default servers, the local resolver first.");
    const QCommandLineOption domain({"d", "domain"}, "Add a domain name (repeatable).", "name");
    const QCommandLineOption domains("domains",
                                     "Add the domains of a file, one a line (repeatable).", "file");
    const QCommandLineOption defaultDomains(
        "default-domains", "Add the window's built-in domains, popular names of many kinds.");
    const QCommandLineOption type({"t", "type"}, "Record type: A, MX, NS or SOA (default MX).",
                                  "type", "MX");
    const QCommandLineOption timeout(
        "timeout",
        "Seconds to wait for each answer, above 0 and at most 10 (default 10). A lookup "
        "without an answer counts as 10 s in the figures whatever the wait.",
        "seconds", "10");
    const QCommandLineOption output({"o", "output"},
                                    "Write the CSV to this file, or - for standard output "
                                    "(the default; with --json - no CSV is written).",
                                    "file");
    const QCommandLineOption json(
        "json", "Also write the result as JSON to this file; - means standard output.", "file");
    const QCommandLineOption history(
        "history",
        "Append the run (also a stopped one) to this history file, SQLite, which the window "
        "can share; a file that refuses it costs the run nothing but a message.",
        "file");
    const QCommandLineOption quiet(
        {"q", "quiet"}, "No progress bar, completion text or table of figures: errors only.");
    const QCommandLineOption rounds(
        "rounds", "Ask the domain list this many times, 1 to 20 (default 1).", "count", "1");
    const QCommandLineOption kinds(
        "kinds",
        "What each domain is asked as: listed, cached, uncached, tld, separated by "
        "commas (default listed).",
        "list", "listed");
    const QCommandLineOption checks(
        "checks", "Check each server before its lookups (see above); the JSON gives the "
                  "evidence.");
    const QCommandLineOption dnssecNames(
        "dnssec-names",
        "The DNSSEC check's names: one in a correctly signed zone, one in a broken one.",
        "signed,bogus");
    const QCommandLineOption rebindName(
        "rebind-name", "The rebinding check's public name for a loopback or private address.",
        "name");
    const QCommandLineOption discover(
        "discover", "Check each server and add the encrypted endpoints it designates for "
                    "itself to the run.");
    const QCommandLineOption fresh(
        "fresh-connections",
        "tcp://, tls:// and https:// servers: time every lookup on a new connection, set-up "
        "included, instead of one kept connection per server.");
    const QCommandLineOption caFile(
        "ca-file",
        "Also trust the certificate authorities of this PEM file for tls:// and "
        "https:// servers (the system's stay trusted).",
        "file");
    parser.addOptions({help,     version,        server, servers, defaults,    domain,
                       domains,  defaultDomains, type,   timeout, output,      json,
                       quiet,    rounds,         kinds,  checks,  dnssecNames, rebindName,
                       discover, fresh,          caFile, history});

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        ParsedCommandLine result;
        result.action = ParsedCommandLine::Action::ShowText;
        result.text = helpText(parser);
        return result;
    }
    if (parser.isSet(version)) {
        ParsedCommandLine result;
        result.action = ParsedCommandLine::Action::ShowText;
        result.text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                      QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1: servers go with --server, "
                                         "domains with --domain.")
                              .arg(parser.positionalArguments().constFirst()));
    }

    ParsedCommandLine result;
    CliOptions& options = result.options;
    QString error;
    if (parser.isSet(defaults))
        options.servers += defaultServers();
    if (parser.isSet(defaultDomains))
        options.domains += core::DefaultDomains();
    using core::ListKind;
    if (!appendFiles(parser, QStringLiteral("servers"), ListKind::Servers, options.servers,
                     &error) ||
        !appendValues(parser, QStringLiteral("server"), ListKind::Servers, options.servers,
                      &error) ||
        !appendFiles(parser, QStringLiteral("domains"), ListKind::Domains, options.domains,
                     &error) ||
        !appendValues(parser, QStringLiteral("domain"), ListKind::Domains, options.domains, &error))
        return fail(error);
    if (options.servers.isEmpty())
        return fail(QStringLiteral("no DNS servers given: use --server, --servers or --defaults"));
    if (options.domains.isEmpty())
        return fail(
            QStringLiteral("no domains given: use --domain, --domains or --default-domains"));
    if (options.servers.size() > core::kListLimit)
        return fail(tooMany(core::ListKind::Servers, options.servers.size()));
    if (options.domains.size() > core::kListLimit)
        return fail(tooMany(core::ListKind::Domains, options.domains.size()));

    options.recordTypeChoice = recordTypeChoice(parser.value(type));
    if (options.recordTypeChoice.isEmpty()) {
        return fail(
            QStringLiteral("unknown record type %1: use A, MX, NS or SOA").arg(parser.value(type)));
    }
    bool isNumber = false;
    options.timeoutSeconds = QLocale::c().toDouble(parser.value(timeout).trimmed(), &isNumber);
    if (!isNumber || !std::isfinite(options.timeoutSeconds) || options.timeoutSeconds <= 0.0 ||
        options.timeoutSeconds > kMaxTimeoutSeconds) {
        return fail(QStringLiteral("bad --timeout %1: give seconds above 0 and at most 10")
                        .arg(parser.value(timeout)));
    }

    options.rounds = QLocale::c().toInt(parser.value(rounds).trimmed(), &isNumber);
    if (!isNumber || options.rounds < 1 || options.rounds > kMaxRounds) {
        return fail(QStringLiteral("bad --rounds %1: give a whole number from 1 to %2")
                        .arg(parser.value(rounds))
                        .arg(kMaxRounds));
    }

    const std::optional<QList<core::QueryKind>> asked =
        core::queryKindsFromList(parser.value(kinds));
    if (!asked) {
        return fail(QStringLiteral("bad --kinds %1: give listed, cached, uncached or tld, "
                                   "separated by commas")
                        .arg(parser.value(kinds)));
    }
    options.kinds = *asked;
    options.discover = parser.isSet(discover);
    options.checks = parser.isSet(checks) || options.discover;
    if (parser.isSet(dnssecNames)) {
        const QStringList names = parser.value(dnssecNames).split(QLatin1Char(','));
        if (names.size() != 2 || !core::DomainQueryProblem(names[0].trimmed()).isEmpty() ||
            !core::DomainQueryProblem(names[1].trimmed()).isEmpty() ||
            names[0].trimmed().isEmpty() || names[1].trimmed().isEmpty())
            return fail(QStringLiteral("bad --dnssec-names %1: give two names, the signed one "
                                       "first, separated by a comma")
                            .arg(parser.value(dnssecNames)));
        options.checkNames.signedName = names[0].trimmed();
        options.checkNames.bogusName = names[1].trimmed();
    }
    if (parser.isSet(rebindName)) {
        const QString name = parser.value(rebindName).trimmed();
        if (name.isEmpty() || !core::DomainQueryProblem(name).isEmpty())
            return fail(QStringLiteral("bad --rebind-name %1").arg(parser.value(rebindName)));
        options.checkNames.rebindName = name;
    }

    options.outputPath = parser.value(output);
    options.jsonPath = parser.value(json);
    if ((parser.isSet(output) && options.outputPath.isEmpty()) ||
        (parser.isSet(json) && options.jsonPath.isEmpty()))
        return fail(QStringLiteral("an empty file name for --output or --json"));
    // Standard output takes one of the two: the CSV unless the JSON asks for it.
    if (!parser.isSet(output) && options.jsonPath != kStandardOutput)
        options.outputPath = kStandardOutput;
    if (options.outputPath == kStandardOutput && options.jsonPath == kStandardOutput)
        return fail(QStringLiteral("--output and --json cannot both be standard output (-)"));
    // The second file would replace the first; a device such as /dev/null may take both.
    if (!options.outputPath.isEmpty() && !options.jsonPath.isEmpty() &&
        options.outputPath != kStandardOutput && options.jsonPath != kStandardOutput &&
        sameFile(options.outputPath, options.jsonPath) && !isSpecialFile(options.outputPath))
        return fail(QStringLiteral("--output and --json name the same file"));
    options.historyPath = parser.value(history);
    if (parser.isSet(history) && options.historyPath.isEmpty())
        return fail(QStringLiteral("an empty file name for --history"));
    options.quiet = parser.isSet(quiet);
    options.freshConnections = parser.isSet(fresh);
    for (const QString& path : parser.values(caFile)) {
        const core::CaFile read = core::ReadCaFile(path);
        if (!read.problem.isEmpty())
            return fail(QStringLiteral("cannot read the --ca-file %1: %2").arg(path, read.problem));
        options.extraCas += read.certificates;
    }
    result.action = ParsedCommandLine::Action::Run;
    return result;
}

} // namespace tarnbell::cli
