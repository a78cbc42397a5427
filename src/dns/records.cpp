#include "dns/records.h"

namespace tarnbell::dns {

RecordWalker::RecordWalker(ByteView reply) : m_cursor(reply) {
    m_cursor.skip(4); // ID and flags
    std::uint16_t questions = m_cursor.u16();
    for (std::uint16_t& count : m_left)
        count = m_cursor.u16();
    // RFC 1035 4.1.2: QNAME, QTYPE, QCLASS.
    for (; questions > 0 && !m_cursor.failed(); --questions) {
        (void)m_cursor.name();
        m_cursor.skip(4);
    }
}

bool RecordWalker::next(ResourceRecord& record) {
    while (m_section < 3 && m_left[m_section] == 0)
        ++m_section;
    if (m_section == 3 || m_cursor.failed())
        return false;
    --m_left[m_section];
    record.section = static_cast<Section>(m_section);
    record.owner = m_cursor.name();
    record.type = m_cursor.u16();
    record.rclass = m_cursor.u16();
    const std::uint32_t ttl = m_cursor.u32();
    record.ttl = (ttl & 0x80000000u) != 0 ? 0 : ttl;
    const std::uint16_t length = m_cursor.u16();
    record.rdataOffset = m_cursor.position();
    record.rdata = m_cursor.bytes(length);
    return !m_cursor.failed();
}

std::vector<Bytes> ReadAddresses(ByteView reply, std::uint16_t qtype) {
    const std::size_t size = qtype == kTypeA ? 4 : qtype == kTypeAAAA ? 16 : 0;
    std::vector<Bytes> addresses;
    RecordWalker walker(reply);
    ResourceRecord record;
    while (walker.next(record) && record.section == Section::Answer) {
        if (record.type == qtype && record.rclass == kClassIN && record.rdata.size() == size &&
            size != 0)
            addresses.emplace_back(record.rdata.begin(), record.rdata.end());
    }
    return addresses;
}

std::optional<NegativeAnswerSoa> ReadNegativeAnswerSoa(ByteView reply) {
    RecordWalker walker(reply);
    ResourceRecord record;
    while (walker.next(record)) {
        if (record.section != Section::Authority || record.type != kTypeSOA ||
            record.rclass != kClassIN)
            continue;
        // MNAME and RNAME may point back into the reply; five 32-bit fields follow them, and
        // the RDATA must end there.
        WireCursor rdata(reply.first(record.rdataOffset + record.rdata.size()), record.rdataOffset);
        (void)rdata.name();
        (void)rdata.name();
        rdata.skip(16); // SERIAL, REFRESH, RETRY, EXPIRE
        const std::uint32_t minimum = rdata.u32();
        if (!rdata.failed() && rdata.remaining() == 0)
            return NegativeAnswerSoa{record.owner, record.ttl, minimum};
    }
    return std::nullopt;
}

} // namespace tarnbell::dns
