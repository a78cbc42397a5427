#include "http/requesthead.h"

#include "http/headertext.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tarnbell::http {
namespace {

// RFC 9110 5.6.2: the characters of a token (a method, a field name).
bool isTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) != 0 ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// A target or field value may hold no CR, LF, NUL or other control character but HTAB.
bool hasControl(std::string_view text, bool tabAllowed) {
    return std::any_of(text.begin(), text.end(), [tabAllowed](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && !(tabAllowed && c == '\t')) || u == 0x7F;
    });
}

// The next line without its LF (and the CR before it); RFC 9112 2.2 lets a server take a bare
// LF as a line end, but a CR anywhere else is refused.
bool nextLine(std::string_view& rest, std::string_view& line) {
    const std::size_t lf = rest.find('\n');
    line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line.find('\r') == std::string_view::npos;
}

} // namespace

RequestHeadReader::Status RequestHeadReader::append(ByteView bytes) {
    if (m_status != Status::NeedMore)
        return m_status;
    const std::size_t room = kMaxRequestHead - m_buffer.size();
    const std::size_t take = std::min(room, bytes.size());
    m_buffer.append(reinterpret_cast<const char*>(bytes.data()), take);
    // RFC 9112 2.2: empty lines before the request line are passed over.
    const std::size_t start = m_buffer.find_first_not_of("\r\n");
    if (start == std::string::npos) {
        m_scanned = m_buffer.size();
    } else {
        // The head ends with an empty line: LF, perhaps CR, LF.
        for (std::size_t at = std::max(m_scanned, start); at < m_buffer.size(); ++at) {
            if (m_buffer[at] != '\n')
                continue;
            const std::size_t before = at > 0 && m_buffer[at - 1] == '\r' ? at - 1 : at;
            if (before > start && m_buffer[before - 1] == '\n') {
                m_status = parse(at + 1);
                m_buffer.clear();
                m_buffer.shrink_to_fit();
                return m_status;
            }
        }
        m_scanned = m_buffer.size();
    }
    if (m_buffer.size() >= kMaxRequestHead || take < bytes.size()) {
        m_buffer.clear();
        m_buffer.shrink_to_fit();
        m_status = Status::TooLarge;
    }
    return m_status;
}

RequestHeadReader::Status RequestHeadReader::parse(std::size_t headEnd) {
    std::string_view rest(m_buffer.data(), headEnd);
    rest.remove_prefix(std::min(rest.find_first_not_of("\r\n"), rest.size()));
    std::string_view line;
    // request-line = method SP request-target SP HTTP-version
    if (!nextLine(rest, line))
        return Status::Malformed;
    const std::size_t firstSpace = line.find(' ');
    const std::size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace)
        return Status::Malformed;
    const std::string_view method = line.substr(0, firstSpace);
    const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    const std::string_view version = line.substr(lastSpace + 1);
    if (!isToken(method) || target.empty() || target.find(' ') != std::string_view::npos ||
        hasControl(target, false) || version.size() != 8 || version.substr(0, 7) != "HTTP/1." ||
        std::isdigit(static_cast<unsigned char>(version[7])) == 0)
        return Status::Malformed;
    m_head.method = method;
    m_head.target = target;
    while (nextLine(rest, line) && !line.empty()) {
        // RFC 9112 5.1: no blank before the colon; 5.2: line folding may be refused.
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
            return Status::Malformed;
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (hasControl(value, true))
            return Status::Malformed;
        if (equalsIgnoringCase(line.substr(0, colon), "accept")) {
            if (!m_head.accept.empty())
                m_head.accept += ", ";
            m_head.accept += value;
        }
    }
    return line.empty() ? Status::Complete : Status::Malformed; // not empty: a bare CR
}

} // namespace tarnbell::http
