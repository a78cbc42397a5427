#include "core/harvest/resultpagecheck.h"

#include "core/harvest/harvestparser.h"

#include <QRegularExpression>
#include <QString>

namespace tarnbell::core {

namespace {

// A <noscript> block, or the words such pages use: "enable JavaScript", "turn on
// JavaScript", "JavaScript is disabled", "JavaScript must be enabled", "requires JavaScript".
bool asksForJavaScript(const QString& page) {
    static const QRegularExpression asking = [] {
        QString pattern = QStringLiteral("<noscript[\\s>]"
                                         "|\\b(?:enable|turn on|activate|allow) javascript\\b"
                                         "|\\bjavascript (?:is )?(?:required|disabled|turned off"
                                         "|(?:must|needs to) be (?:enabled|turned on))\\b"
                                         "|\\brequires? javascript\\b");
        // Between two words any run of blanks and line breaks, or a no-break space.
        pattern.replace(u' ', QStringLiteral("(?:\\s|&nbsp;|&#160;)+"));
        return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
    }();
    return asking.match(page).hasMatch();
}

} // namespace

ResultPageKind ClassifyResultPage(QByteArrayView body) {
    // Any one name a harvest into an empty list would take makes it a results page.
    if (!harvestNames(body, {}, 1).isEmpty())
        return ResultPageKind::Results;
    return asksForJavaScript(QString::fromLatin1(body)) ? ResultPageKind::AsksForJavaScript
                                                        : ResultPageKind::NoResultLinks;
}

} // namespace tarnbell::core
