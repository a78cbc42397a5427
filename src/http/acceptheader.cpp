#include "http/acceptheader.h"

#include "http/headertext.h"

#include <algorithm>
#include <cctype>

namespace tarnbell::http {
namespace {

// The text up to `separator` (all of it without one); `text` keeps what follows.
std::string_view take(std::string_view& text, char separator) {
    const std::size_t at = text.find(separator);
    const std::string_view part = text.substr(0, at);
    text.remove_prefix(at == std::string_view::npos ? text.size() : at + 1);
    return part;
}

// RFC 9110 12.4.2: qvalue = ( "0" [ "." 0*3DIGIT ] ) / ( "1" [ "." 0*3("0") ] ), in
// thousandths; -1 for anything else.
int qValue(std::string_view text) {
    if (text.empty() || text.size() > 5 || (text[0] != '0' && text[0] != '1') ||
        (text.size() > 1 && text[1] != '.'))
        return -1;
    int thousandths = (text[0] - '0') * 1000;
    int scale = 100;
    for (const char c : text.substr(std::min<std::size_t>(2, text.size()))) {
        if (c < '0' || c > '9')
            return -1;
        thousandths += (c - '0') * scale;
        scale /= 10;
    }
    return thousandths <= 1000 ? thousandths : -1;
}

struct Match {
    int specificity = -1; // -1: no range matched
    int q = 0;
};

} // namespace

std::size_t negotiate(std::string_view accept, std::span<const MediaOffer> offers) {
    Match matches[kMaxOffers] = {};
    const std::size_t offerCount = std::min(offers.size(), kMaxOffers);
    for (std::size_t ranges = 0; !accept.empty() && ranges < kMaxMediaRanges; ++ranges) {
        std::string_view range = take(accept, ',');
        const std::string_view type = trimmed(take(range, ';'));
        std::string_view version;
        bool hasVersion = false;
        int q = 1000;
        while (!range.empty()) {
            std::string_view value = trimmed(take(range, ';'));
            const std::string_view name = trimmed(take(value, '='));
            value = trimmed(value);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (equalsIgnoringCase(name, "q")) {
                q = qValue(value);
            } else if (equalsIgnoringCase(name, "version")) {
                version = value;
                hasVersion = true;
            }
        }
        if (q < 0)
            continue;
        const std::size_t slash = type.find('/');
        if (slash == std::string_view::npos)
            continue;
        for (std::size_t i = 0; i < offerCount; ++i) {
            const std::string_view offered = offers[i].type;
            int specificity = -1;
            if (equalsIgnoringCase(type, offered))
                specificity = hasVersion ? 3 : 2;
            else if (type == "*/*")
                specificity = 0;
            else if (type.substr(slash) == "/*" &&
                     equalsIgnoringCase(type.substr(0, slash + 1),
                                        offered.substr(0, offered.find('/') + 1)))
                specificity = 1;
            if (specificity < 0 || (hasVersion && version != offers[i].version))
                continue;
            if (specificity > matches[i].specificity)
                matches[i] = {specificity, q};
        }
    }
    std::size_t best = 0;
    int bestQ = 0;
    for (std::size_t i = 0; i < offerCount; ++i) {
        if (matches[i].specificity >= 0 && matches[i].q > bestQ) {
            best = i;
            bestQ = matches[i].q;
        }
    }
    return best;
}

} // namespace tarnbell::http
