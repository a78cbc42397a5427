#include "frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstring>

namespace {

const QString kProgram = QStringLiteral("tarnbell");

// Wrapped by hand: the parser prints the description as it is.
const QString kDescription =
    QStringLiteral("Tells which DNS resolver answers fastest: keep a list of DNS servers and a\n"
                   "list of domain names, pick a record type and start a benchmark. Every server\n"
                   "is asked about every domain, one query at a time over UDP, TCP, DNS over TLS\n"
                   "or DNS over HTTPS, and every answer is timed; the window shows each server's\n"
                   "mean and median, names the fastest and exports the results as CSV.\n"
                   "\n"
                   "The window remembers its lists, choices and layout in\n"
                   "~/.config/Tarnbell/tarnbell.conf. The machine's own resolver is the first\n"
                   "nameserver of /etc/resolv.conf, or of the file TARNBELL_RESOLV_CONF names.\n"
                   "Qt's own options (-platform, -style, ...) are accepted too.\n"
                   "\n"
                   "tarnbell-cli runs the same benchmark without a window.");

enum class Start { Window, Exit, Fail };

// --help and --version print their text and end the program; anything else but Qt's own
// options is refused in one line, as tarnbell-cli refuses it.
Start readCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
    parser.addOptions({help, version});
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        // Qt names the program by the path it was started with; the manual page wants its name.
        QString text = parser.helpText();
        const QString started = QStringLiteral("Usage: ") + arguments.value(0);
        if (text.startsWith(started))
            text.replace(0, started.size(), QStringLiteral("Usage: ") + kProgram);
        std::fputs(qPrintable(text), stdout);
        return Start::Exit;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(kProgram), TARNBELL_VERSION);
        return Start::Exit;
    }
    QString error;
    if (!parsed)
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error = QStringLiteral("unexpected argument %1.").arg(parser.positionalArguments().first());
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s Try '%s --help'.\n", qPrintable(kProgram), qPrintable(error),
                     qPrintable(kProgram));
        return Start::Fail;
    }
    return Start::Window;
}

// True when the command line asks for text only, which needs no window system: so that the
// help answers on a text console and where the manual page is made.
bool asksForText(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

int exitStatus(Start start) {
    return start == Start::Fail ? 2 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (asksForText(argc, argv)) {
        const QCoreApplication app(argc, argv);
        return exitStatus(readCommandLine(QCoreApplication::arguments()));
    }
    QApplication app(argc, argv); // takes Qt's own options off the command line
    QApplication::setApplicationName(QStringLiteral("Tarnbell"));
    QApplication::setApplicationVersion(QStringLiteral(TARNBELL_VERSION));
    if (const Start start = readCommandLine(QApplication::arguments()); start != Start::Window)
        return exitStatus(start);
    // Ties the window to its desktop entry and icon where the window system asks (Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnbell.Tarnbell"));
    frmMain window;
    window.show();
    return QApplication::exec();
}
