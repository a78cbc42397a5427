#include "http/http1reader.h"

#include "http/headertext.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace tarnbell::http {
namespace {

// A chunk-size line holds a hexadecimal size and perhaps an extension; far below this.
constexpr std::size_t kMaxChunkLine = 1024;

// The last transfer coding of a Transfer-Encoding value ("gzip, chunked" gives "chunked").
std::string_view lastCoding(std::string_view value) {
    const std::size_t comma = value.rfind(',');
    return trimmed(comma == std::string_view::npos ? value : value.substr(comma + 1));
}

// A whole decimal number of at most 18 digits, as Content-Length holds one.
bool readLength(std::string_view text, std::size_t& length) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    std::uint64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    length = static_cast<std::size_t>(value);
    return true;
}

} // namespace

Http1Reader::Http1Reader(std::size_t maxBody) : m_maxBody(maxBody) {}

void Http1Reader::append(ByteView bytes) {
    if (!m_error.empty())
        return;
    compact();
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

void Http1Reader::compact() {
    if (m_start == 0)
        return;
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
    m_start = 0;
}

Http1Reader::Status Http1Reader::fail(const std::string& why) {
    m_error = why;
    m_buffer.clear();
    m_start = 0;
    return Status::Broken;
}

bool Http1Reader::takeBodyBytes() {
    const std::size_t take = std::min(m_remaining, pending());
    const auto from = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start);
    m_response.body.insert(m_response.body.end(), from, from + static_cast<std::ptrdiff_t>(take));
    m_start += take;
    m_remaining -= take;
    return m_remaining == 0;
}

bool Http1Reader::takeLine(std::string& line, std::size_t limit, bool& tooLong) {
    const auto begin = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start);
    const auto newline = std::find(begin, m_buffer.end(), std::uint8_t{'\n'});
    const auto length = static_cast<std::size_t>(newline - begin);
    tooLong = length > limit;
    if (tooLong || newline == m_buffer.end())
        return false;
    line.assign(begin, newline);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    m_start += length + 1;
    return true;
}

Http1Reader::Status Http1Reader::next(Http1Response& response) {
    if (!m_error.empty())
        return Status::Broken;
    for (;;) {
        std::string line;
        bool tooLong = false;
        switch (m_part) {
        case Part::Head: {
            const std::size_t before = m_start;
            const Status head = readHead();
            if (head == Status::NeedMore && m_start != before)
                break; // an interim response was passed over
            if (head != Status::Response)
                return head;
            break;
        }
        case Part::Body: {
            if (!takeBodyBytes())
                return Status::NeedMore;
            response = std::move(m_response);
            m_response = {};
            m_part = Part::Head;
            return Status::Response;
        }
        case Part::ChunkSize: {
            if (!takeLine(line, kMaxChunkLine, tooLong))
                return tooLong ? fail("the HTTP chunk size line is too long") : Status::NeedMore;
            const std::string_view size = trimmed(std::string_view(line).substr(0, line.find(';')));
            std::size_t value = 0;
            const auto [end, error] =
                std::from_chars(size.data(), size.data() + size.size(), value, 16);
            if (size.empty() || error != std::errc() || end != size.data() + size.size())
                return fail("the HTTP answer's chunk size cannot be read");
            if (value > m_maxBody - m_response.body.size())
                return fail(kOverLimitText);
            m_remaining = value;
            m_part = value == 0 ? Part::Trailer : Part::ChunkData;
            break;
        }
        case Part::ChunkData: {
            if (!takeBodyBytes())
                return Status::NeedMore;
            m_part = Part::ChunkEnd;
            break;
        }
        case Part::ChunkEnd:
            // The chunk's data ends with CR LF, and nothing before it.
            if (!takeLine(line, 1, tooLong) && !tooLong)
                return Status::NeedMore;
            if (tooLong || !line.empty())
                return fail("the HTTP answer's chunk does not end where it said");
            m_part = Part::ChunkSize;
            break;
        case Part::Trailer:
            // RFC 9112 7.1.2: trailer fields, then an empty line, end the chunked body.
            if (!takeLine(line, kMaxHead - m_trailerBytes, tooLong))
                return tooLong ? fail(kOverLimitText) : Status::NeedMore;
            m_trailerBytes += line.size() + 2;
            if (!line.empty())
                break;
            m_trailerBytes = 0;
            response = std::move(m_response);
            m_response = {};
            m_part = Part::Head;
            return Status::Response;
        }
    }
}

// Reads one whole head: Status::Response when a final response's body comes next (or it has
// none), NeedMore when no whole head is here yet or the one read was an interim response (the
// reader then stays on heads; more bytes may already be here).
Http1Reader::Status Http1Reader::readHead() {
    static constexpr std::string_view kEnd = "\r\n\r\n";
    const auto begin = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start);
    const auto end = std::search(begin, m_buffer.end(), kEnd.begin(), kEnd.end());
    if (end == m_buffer.end())
        return pending() > kMaxHead ? fail(kOverLimitText) : Status::NeedMore;
    if (static_cast<std::size_t>(end - begin) > kMaxHead)
        return fail(kOverLimitText);
    const std::string head(begin, end);
    m_start += head.size() + kEnd.size();

    std::string_view rest(head);
    const std::size_t firstEnd = rest.find("\r\n");
    const std::string_view statusLine = rest.substr(0, firstEnd);
    rest = firstEnd == std::string_view::npos ? std::string_view() : rest.substr(firstEnd + 2);
    // "HTTP/1.1 200 OK": the version, a blank, three digits.
    if (statusLine.size() < 12 || statusLine.substr(0, 7) != "HTTP/1." || statusLine[8] != ' ' ||
        !std::all_of(statusLine.begin() + 9, statusLine.begin() + 12,
                     [](char c) { return c >= '0' && c <= '9'; }) ||
        (statusLine.size() > 12 && statusLine[12] != ' '))
        return fail("not an HTTP/1.1 answer");
    const int status =
        (statusLine[9] - '0') * 100 + (statusLine[10] - '0') * 10 + (statusLine[11] - '0');
    if (status < 100) // RFC 9110 15: status codes run from 100 to 599
        return fail("not an HTTP/1.1 answer");
    if (status == 101)
        return fail("the server switched to another protocol");

    Http1Response response;
    response.status = status;
    bool chunked = false;
    bool hasLength = false;
    std::size_t length = 0;
    while (!rest.empty()) {
        const std::size_t lineEnd = rest.find("\r\n");
        const std::string_view field = rest.substr(0, lineEnd);
        rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 2);
        const std::size_t colon = field.find(':');
        // RFC 9112 5.2: a line folded onto the one before it is refused, as a client may.
        if (colon == std::string_view::npos || colon == 0 || field.front() == ' ' ||
            field.front() == '\t')
            return fail("the HTTP answer has a header line that cannot be read");
        const std::string_view name = field.substr(0, colon);
        const std::string_view value = trimmed(field.substr(colon + 1));
        if (equalsIgnoringCase(name, "content-type")) {
            response.contentType.assign(value.substr(0, 200));
        } else if (equalsIgnoringCase(name, "connection")) {
            response.closes = response.closes || equalsIgnoringCase(value, "close");
        } else if (equalsIgnoringCase(name, "transfer-encoding")) {
            if (!equalsIgnoringCase(lastCoding(value), "chunked"))
                return fail("the HTTP answer comes in a coding that is not read here");
            chunked = true;
        } else if (equalsIgnoringCase(name, "content-length")) {
            std::size_t given = 0;
            // Two differing lengths leave the message's end unknown (RFC 9112 6.3).
            if (!readLength(value, given) || (hasLength && given != length))
                return fail("the HTTP answer's length cannot be read");
            hasLength = true;
            length = given;
        }
    }
    // RFC 9110 15.2: an interim response has no body; the final one follows it.
    if (status >= 100 && status < 200)
        return Status::NeedMore;
    m_response = std::move(response);
    if (chunked) {
        m_part = Part::ChunkSize;
        return Status::Response;
    }
    const bool noBody = status == 204 || status == 304;
    if (!hasLength && !noBody)
        return fail("the HTTP answer gives no length");
    if (noBody)
        length = 0;
    if (length > m_maxBody)
        return fail(kOverLimitText);
    m_remaining = length;
    m_part = Part::Body;
    return Status::Response;
}

} // namespace tarnbell::http
