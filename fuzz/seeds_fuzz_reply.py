#!/usr/bin/env python3
"""Writes the seed replies of fuzz_reply into fuzz/corpus/fuzz_reply, field by field.

tests/tst_codec.cpp (corpusSeeds) checks that each seed still reads as noted here.
Run it again after changing a seed: python3 fuzz/seeds_fuzz_reply.py
"""
import pathlib


def u16(value):
    return value.to_bytes(2, "big")


def u32(value):
    return value.to_bytes(4, "big")


def label(text):
    return bytes([len(text)]) + text


def name(dotted):
    return b"".join(label(part) for part in dotted.split(b".")) + b"\x00"


def pointer(offset):  # RFC 1035 4.1.4
    return u16(0xC000 | offset)


def header(answers, flags=0x8180, authority=0, additional=0):
    # ID 11 DF, flags (81 80: response, RD, RA, NOERROR), QDCOUNT 1, ANCOUNT, NSCOUNT, ARCOUNT
    return u16(0x11DF) + u16(flags) + u16(1) + u16(answers) + u16(authority) + u16(additional)


def question(qtype):
    # offset 12: 07 "example" 04 "test" 00 (14 bytes), QTYPE, QCLASS IN; answers begin at 30
    return name(b"example.test") + u16(qtype) + u16(1)


def record(rtype, rdata, rclass=1, ttl=3600, owner=pointer(12)):
    # owner (a pointer to the question unless given), TYPE, CLASS (IN), TTL, RDLENGTH, RDATA
    return owner + u16(rtype) + u16(rclass) + u32(ttl) + u16(len(rdata)) + rdata


def mx(preference, exchange):
    return record(15, u16(preference) + exchange)


SOA_DATA = (label(b"ns1") + pointer(12)            # MNAME ns1.example.test
            + label(b"hostmaster") + pointer(12)   # RNAME hostmaster.example.test
            + u32(2024010101) + u32(7200) + u32(3600) + u32(1209600) + u32(300))

SEEDS = {
    # MX: one record, exchange "mail" + pointer to the question -> mail.example.test
    "mx_one_record": header(1) + question(15) + mx(10, label(b"mail") + pointer(12)),
    # A question that is a pointer to itself -> ""
    "pointer_to_self": header(0) + pointer(12),
    # MX preferences 20/10/10, all compressed -> mx2.example.test
    "mx_three_compressed": header(3) + question(15)
    + mx(20, label(b"mx1") + pointer(12))
    + mx(10, label(b"mx2") + pointer(12))
    + mx(10, label(b"mx3") + pointer(12)),
    # A CNAME first ends the MX walk -> ""
    "mx_cname_first": header(2) + question(15)
    + record(5, label(b"alias") + pointer(12))
    + mx(10, label(b"mail") + pointer(12)),
    # ANCOUNT 5, two records present -> b.example.test
    "mx_ancount_too_large": header(5) + question(15)
    + mx(30, label(b"a") + pointer(12))
    + mx(20, label(b"b") + pointer(12)),
    # SOA answer with compressed MNAME and RNAME -> the question, example.test
    "soa_answer": header(1) + question(6) + record(6, SOA_DATA),
    # A question, NXDOMAIN (RCODE 3), the zone's SOA in the authority section
    "nxdomain_soa_authority": header(0, flags=0x8183, authority=1) + question(1)
    + record(6, SOA_DATA),
    # Record 1 at 30, exchange at 44: "mx" + pointer 12. Record 2 at 49, exchange at 63:
    # "a" + pointer 44 -> a.mx.example.test
    "pointer_chain": header(2) + question(15)
    + mx(20, label(b"mx") + pointer(12))
    + mx(10, label(b"a") + pointer(44)),
    # Record 1 exchange at 44: "a" + pointer 62 (forward: refused). Record 2 exchange at 62:
    # "b" + pointer 44, which leads back to 62 -> the loop ends keeping "b.a."
    "pointer_two_cycle": header(2) + question(15)
    + mx(20, label(b"a") + pointer(62))
    + mx(10, label(b"b") + pointer(44)),
    # Exchange at 44: "mail" + a pointer forward to the name "next" at 51 -> "mail."
    "pointer_forward": header(1) + question(15)
    + mx(10, label(b"mail") + pointer(51)) + name(b"next"),
    # The question cut inside its first label: 07 "exa" -> "exa"
    "cut_in_label": header(0) + b"\x07exa",
    # What a server sends for the query "example.test." MX: the name ends at the empty label,
    # so QTYPE reads 00 00 and QCLASS 0F 00; REFUSED (RCODE 5)
    "refused_trailing_dot": header(0, flags=0x8185) + name(b"example.test") + u16(0) + u16(0x0F00),
    # Labels of 64 and 63 bytes: a length byte of 0x40 is read as a label
    "long_labels": header(0) + name(b"q" * 64 + b"." + b"r" * 63) + u16(1) + u16(1),
    # Answers: A 192.0.2.1, AAAA 2001:db8::1, an A of class CH (3) and an A of 5 bytes (both
    # not addresses); authority: the SOA, TTL 0x80000001 (read as 0, RFC 2181 8); additional:
    # an OPT record (root owner, RFC 6891) and A 192.0.2.9 (not an answer)
    "addresses_all_sections": header(4, authority=1, additional=2) + question(1)
    + record(1, bytes([192, 0, 2, 1])) + record(28, bytes.fromhex("20010db8" + "00" * 11 + "01"))
    + record(1, bytes([127, 0, 0, 1]), rclass=3) + record(1, bytes([1, 2, 3, 4, 5]))
    + record(6, SOA_DATA, ttl=0x80000001)
    + record(41, b"", rclass=1232, ttl=0, owner=b"\x00") + record(1, bytes([192, 0, 2, 9])),
    # Two A answers, the second's RDATA cut after 2 of its 4 bytes -> 192.0.2.1 only
    "addresses_rdata_cut": header(2) + question(1) + record(1, bytes([192, 0, 2, 1]))
    + record(1, bytes([192, 0, 2, 2]))[:-2],
    # The answer's owner at 30: "b" then a pointer back to 30, a loop -> no record
    "owner_pointer_loop": header(1) + question(1)
    + record(1, bytes([192, 0, 2, 1]), owner=label(b"b") + pointer(30)),
}

if __name__ == "__main__":
    folder = pathlib.Path(__file__).resolve().parent / "corpus" / "fuzz_reply"
    folder.mkdir(parents=True, exist_ok=True)
    for seed, data in SEEDS.items():
        (folder / seed).write_bytes(data)
