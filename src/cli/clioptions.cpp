#include "cli/clioptions.h"

#include "core/listfile.h"
#include "core/listlimits.h"
#include "core/recordtypes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <cmath>

namespace tarnbell::cli {

namespace {

constexpr double kMaxTimeoutSeconds = 10.0;

// Wrapped by hand: the parser prints the description as it is.
const QString kDescription = QStringLiteral(
    "Tells which DNS resolver answers fastest: every server is asked about every\n"
    "domain, one query at a time over UDP, each answer timed with a monotonic\n"
    "clock.\n"
    "\n"
    "A server entry is ADDR, ADDR:PORT, [IPv6]:PORT or a host name, optionally\n"
    "followed by \" - label\". --defaults gives the window's list: the machine's own\n"
    "resolver first (\" - local\"), then the built-in public resolvers. Servers are\n"
    "asked in this order: --defaults, each --servers file, each --server; domains:\n"
    "each --domains file, each --domain. At most 99 servers and 99 domains.\n"
    "\n"
    "A lookup that gets no answer within --timeout counts as 10 s (10000 ms) in\n"
    "every figure, as in the window, so runs with different timeouts stay\n"
    "comparable with each other and with the window's. So does a lookup that fails\n"
    "outright (a server name that does not resolve, a domain that cannot be\n"
    "encoded).\n"
    "\n"
    "The CSV is what the window's \"Export CSV\" writes for the same rows: the\n"
    "lookups in run order, two empty lines, the servers ordered by mean. The JSON\n"
    "holds every lookup's seconds and each server's mean, median (of whole\n"
    "milliseconds, as the window's), minimum, maximum and population standard\n"
    "deviation in milliseconds at full precision.\n"
    "\n"
    "On a terminal a progress bar goes to standard error; the completion text\n"
    "always does.\n"
    "\n"
    "Exit status: 0 the run finished, 1 an output could not be written, 2 bad usage\n"
    "or input (then nothing is sent or written).\n");

ParsedCommandLine fail(const QString& text) {
    ParsedCommandLine result;
    result.action = ParsedCommandLine::Action::Fail;
    result.text = text;
    return result;
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
bool appendFiles(const QCommandLineParser& parser, const QString& option, QStringList& entries,
                 QString* error) {
    for (const QString& path : parser.values(option)) {
        QString reason;
        const std::optional<QStringList> read = core::readListFile(path, &reason);
        if (!read) {
            *error = QStringLiteral("cannot read the --%1 file %2: %3").arg(option, path, reason);
            return false;
        }
        entries += *read;
    }
    return true;
}

bool appendValues(const QCommandLineParser& parser, const QString& option, QStringList& entries,
                  QString* error) {
    for (const QString& value : parser.values(option)) {
        if (value.trimmed().isEmpty()) {
            *error = QStringLiteral("an empty --%1 value").arg(option);
            return false;
        }
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
    const QCommandLineOption type({"t", "type"}, "Record type: A, MX, NS or SOA (default MX).",
                                  "type", "MX");
    const QCommandLineOption timeout(
        "timeout",
        "Seconds to wait for each answer, above 0 and at most 10 (default 10). A lookup "
        "without an answer counts as 10 s in the figures whatever the wait.",
        "seconds", "10");
    const QCommandLineOption output(
        {"o", "output"}, "Write the CSV to this file (default, or -: standard output).", "file");
    const QCommandLineOption json("json", "Also write the result as JSON to this file.", "file");
    const QCommandLineOption quiet({"q", "quiet"}, "No progress bar.");
    parser.addOptions({help, version, server, servers, defaults, domain, domains, type, timeout,
                       output, json, quiet});

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        ParsedCommandLine result;
        result.action = ParsedCommandLine::Action::ShowText;
        result.text = parser.helpText();
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
        return fail(QStringLiteral("unexpected argument %1: servers go with --server, domains "
                                   "with --domain")
                        .arg(parser.positionalArguments().constFirst()));
    }

    ParsedCommandLine result;
    CliOptions& options = result.options;
    QString error;
    if (parser.isSet(defaults))
        options.servers += defaultServers();
    if (!appendFiles(parser, QStringLiteral("servers"), options.servers, &error) ||
        !appendValues(parser, QStringLiteral("server"), options.servers, &error) ||
        !appendFiles(parser, QStringLiteral("domains"), options.domains, &error) ||
        !appendValues(parser, QStringLiteral("domain"), options.domains, &error))
        return fail(error);
    if (options.servers.isEmpty())
        return fail(QStringLiteral("no DNS servers given: use --server, --servers or --defaults"));
    if (options.domains.isEmpty())
        return fail(QStringLiteral("no domains given: use --domain or --domains"));
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

    options.outputPath = parser.value(output);
    options.jsonPath = parser.value(json);
    if ((parser.isSet(output) && options.outputPath.isEmpty()) ||
        (parser.isSet(json) && options.jsonPath.isEmpty()))
        return fail(QStringLiteral("an empty file name for --output or --json"));
    if (options.outputPath == QLatin1String("-"))
        options.outputPath.clear();
    // The second file would replace the first; a device such as /dev/null may take both.
    const QFileInfo csvFile(options.outputPath);
    if (!options.outputPath.isEmpty() && !options.jsonPath.isEmpty() &&
        csvFile.absoluteFilePath() == QFileInfo(options.jsonPath).absoluteFilePath() &&
        (!csvFile.exists() || csvFile.isFile()))
        return fail(QStringLiteral("--output and --json name the same file"));
    options.quiet = parser.isSet(quiet);
    result.action = ParsedCommandLine::Action::Run;
    return result;
}

} // namespace tarnbell::cli
