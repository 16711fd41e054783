#!/usr/bin/env python3
"""Writes the demo data of the fictional Quorvane products into data/demo/.

Output: prodid.ini, pwd.ini and one description file (<name>_<version>.dcf) per product.
The files are written deterministically (no dates, no randomness), so running the script twice
gives byte-identical files. Before anything is written, every description is read back by an
independent token reader and checked: class table consistency, row count after instance
expansion, the 700-row limit, token lengths, list sizes and the addressing rules.

Usage: scripts/make-demo-data.py [OUTPUT_DIR]   (default: data/demo next to this script)
"""

import os
import re
import sys

MAX_ROWS = 700
MAX_CLASS_LINES = 10
MAX_LIST_ENTRIES = 20
MAX_TOKEN = 199
MAX_DB_TOKEN = 75
READ_CHUNK_LIMIT = 520

# Widths of the value types that take a fixed number of bytes.
FIXED_WIDTH = {
    "char": 1, "unsigned char": 1, "int": 2, "unsigned int": 2, "long": 4, "unsigned long": 4,
    "float": 4, "IP": 4, "MAC": 6,
}
TEXT_TYPES = {"*char", "unsigned *char"}
POINTER_TYPES = {"*int", "unsigned *int", "*long", "unsigned *long", "*float"}


class Param:
    """One parameter entry as written in the file (instance part of the address still 0)."""

    def __init__(self, number, type_name, class_text, name, access, size, unit=None,
                 defined=(), enumeration=()):
        self.number = number
        self.type_name = type_name
        self.class_text = class_text
        self.name = name
        self.access = access
        self.size = size
        self.unit = unit
        self.defined = list(defined)
        self.enumeration = list(enumeration)


class ProductClass:
    def __init__(self, class_number, instances, address_of, params):
        self.class_number = class_number
        self.instances = instances
        self.address_of = address_of  # parameter number -> address text with the instance as 0
        self.params = params


class Product:
    def __init__(self, name, product_id, version, classes, released):
        self.name = name
        self.product_id = product_id
        self.version = version
        self.classes = classes
        self.released = released

    @property
    def file_name(self):
        return f"{self.name}_{self.version}.dcf"

    @property
    def big_endian(self):
        return int(self.product_id[:2]) >= 50


# ---------------------------------------------------------------------------------------------
# Parameter pools shared by the products
# ---------------------------------------------------------------------------------------------

def system_params():
    c = "System/Info"
    s = "System/Status"
    return [
        Param(1, "*char", c, "Device_name", "R/W", 16),
        Param(2, "*char", c, "Firmware_version", "R/O", 16),
        Param(3, "unsigned_long", c, "Serial_number", "R/O", 4),
        Param(4, "unsigned_long", s, "Uptime", "R/O", 4, "sec"),
        Param(5, "unsigned_*char", c, "Hardware_revision", "R/O", 8),
        Param(6, "*char", c, "Location", "R/W", 32),
        Param(7, "*char", c, "Contact", "R/W", 32),
        Param(8, "unsigned_int", c, "Factory_code", "HIDDEN", 2),
        Param(9, "char", c, "Reserved", "N/A", 1),
        Param(10, "FLAG", c, "Locator_LED", "R/W", 1,
              enumeration=[(0, "Off"), (1, "Normal"), (2, "Blink")]),
        Param(11, "unsigned_int", s, "Boot_count", "R/O", 2),
        Param(12, "*int", s, "Trace_buffer", "R/O", 2),
        Param(13, "unsigned_*long", s, "Event_log", "N/A", 4),
    ]


def network_params():
    a = "Network/Address"
    t = "Network/Timer"
    k = "Network/Link"
    return [
        Param(1, "IP", a, "IP_address", "R/W", 4),
        Param(2, "IP", a, "Netmask", "R/W", 4),
        Param(3, "IP", a, "Gateway", "R/W", 4),
        Param(4, "MAC", a, "MAC_address", "R/O", 6),
        Param(5, "FLAG", a, "DHCP", "R/W", 1, enumeration=[(0, "Off"), (1, "On")]),
        Param(6, "unsigned_long", t, "Keep_alive", "R/W", 4, "sec", defined=[(0, "Off")]),
        Param(7, "unsigned_int", k, "MTU", "R/W", 2, "bytes"),
        Param(8, "unsigned_char", k, "TTL", "R/W", 1),
        Param(9, "float", k, "Link_load", "R/O", 4, "%"),
        Param(10, "long", t, "ARP_cache_timeout", "R/W", 4, "sec", defined=[(-1, "Forever")]),
        Param(11, "IP", a, "DNS_server", "R/W", 4),
        Param(12, "*char", a, "Host_name", "R/W", 24),
        Param(13, "int", k, "VLAN_id", "R/W", 2, defined=[(0, "None")]),
        # A type that this generation of the tool does not know: shown empty, no value bytes.
        Param(14, "IPv6", a, "IPv6_address", "R/O", 16),
    ]


def security_params():
    c = "Security/Login"
    return [
        Param(1, "*char", c, "Login_ID", "R/W", 16),
        Param(2, "*char", c, "Password", "R/W", 16),
    ]


BAUD_RATES = [(i, f"{rate}_bps") for i, rate in enumerate(
    [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800])]


def port_params(class_text, count):
    """The first `count` parameters of a serial port; the first twelve are on every port."""
    c = class_text
    pool = [
        Param(1, "FLAG", c, "Baud_rate", "R/W", 4, enumeration=BAUD_RATES),
        Param(2, "FLAG", c, "Data_bits", "R/W", 1,
              enumeration=[(5, "5_bits"), (6, "6_bits"), (7, "7_bits"), (8, "8_bits")]),
        Param(3, "FLAG", c, "Parity", "R/W", 1,
              enumeration=[(0, "None"), (1, "Odd"), (2, "Even"), (3, "Mark"), (4, "Space")]),
        Param(4, "FLAG", c, "Stop_bits", "R/W", 1, enumeration=[(1, "1_bit"), (2, "2_bits")]),
        Param(5, "FLAG", c, "Flow_control", "R/W", 1,
              enumeration=[(0, "None"), (1, "XON/XOFF"), (2, "RTS/CTS")]),
        Param(6, "FLAG", c, "Port_mode", "R/W", 2,
              enumeration=[(0, "TCP_server"), (1, "TCP_client"), (2, "UDP"), (3, "Disabled")]),
        Param(7, "unsigned_int", c, "Local_port", "R/W", 2),
        Param(8, "IP", c, "Remote_IP", "R/W", 4),
        Param(9, "int", c, "Remote_port", "R/W", 2),
        Param(10, "long", c, "Idle_timeout", "R/W", 4, "ms", defined=[(0, "Never")]),
        Param(11, "char", c, "Packing_character", "R/W", 1,
              defined=[(0, "None"), (13, "CR"), (10, "LF")]),
        Param(12, "unsigned_char", c, "Packing_length", "R/W", 1, "bytes", defined=[(0, "Off")]),
        Param(13, "*char", c, "Port_alias", "R/W", 16),
        Param(14, "FLAG", c, "Interface", "R/W", 1,
              enumeration=[(0, "RS-232"), (1, "RS-422"), (2, "RS-485_2-wire"),
                           (3, "RS-485_4-wire")]),
        Param(15, "unsigned_long", c, "Rx_bytes", "R/O", 4, "bytes"),
        Param(16, "unsigned_long", c, "Tx_bytes", "R/O", 4, "bytes"),
        Param(17, "unsigned_*int", c, "Line_buffer", "HIDDEN", 2),
        Param(18, "unsigned_int", c, "Inter_character_timeout", "R/W", 2, "ms",
              defined=[(0, "Off")]),
        Param(19, "unsigned_int", c, "Packing_timer", "R/W", 2, "ms"),
        Param(20, "unsigned_char", c, "Max_connections", "R/W", 1),
        Param(21, "IP", c, "Remote_IP_2", "R/W", 4),
        Param(22, "int", c, "Remote_port_2", "R/W", 2),
        Param(23, "unsigned_long", c, "Connect_retry", "R/W", 4, "sec", defined=[(0, "Off")]),
        Param(24, "FLAG", c, "DTR_mode", "R/W", 1,
              enumeration=[(0, "Always_low"), (1, "Always_high"), (2, "Follow_link")]),
        Param(25, "FLAG", c, "RTS_mode", "R/W", 1,
              enumeration=[(0, "Always_low"), (1, "Always_high"), (2, "Flow_control")]),
        Param(26, "unsigned_int", c, "Tx_delay", "R/W", 2, "ms"),
        Param(27, "unsigned_int", c, "Rx_buffer_size", "R/O", 2, "bytes"),
        Param(28, "unsigned_int", c, "Tx_buffer_size", "R/O", 2, "bytes"),
        Param(29, "unsigned_long", c, "Framing_errors", "R/O", 4),
        Param(30, "unsigned_long", c, "Parity_errors", "R/O", 4),
        Param(31, "unsigned_long", c, "Overruns", "R/O", 4),
        Param(32, "FLAG", c, "Line_status", "R/O", 1,
              enumeration=[(0, "Idle"), (1, "Connected"), (2, "Listening"), (3, "Error")]),
        Param(33, "unsigned_long", c, "Connections", "R/O", 4),
        Param(34, "*char", c, "Connect_banner", "R/W", 24),
        Param(35, "*long", c, "Port_statistics", "N/A", 4),
        Param(36, "*float", c, "Signal_levels", "N/A", 4),
    ]
    assert count <= len(pool)
    return pool[:count]


def diagnostics_params(ports):
    """Six receive/transmit counters per port, one instance: a large single class group."""
    params = []
    counters = [
        ("Rx_bytes", "unsigned_long", 4, "bytes"),
        ("Tx_bytes", "unsigned_long", 4, "bytes"),
        ("Rx_errors", "unsigned_long", 4, None),
        ("Tx_errors", "unsigned_long", 4, None),
        ("Rx_rate", "float", 4, "kB/s"),
        ("Connection_drops", "unsigned_int", 2, None),
    ]
    number = 1
    for port in range(1, ports + 1):
        for name, type_name, size, unit in counters:
            params.append(Param(number, type_name, "Diagnostics/Port_counters",
                                f"Port_{port}_{name}", "R/O", size, unit))
            number += 1
    return params


def dotted(*parts):
    return ".".join(str(p) for p in parts)


def standard_classes(port_class_text, ports, port_rows, system_rows=12, network_rows=14,
                     diagnostics=False):
    classes = [
        ProductClass(0, 1, lambda n: dotted(0, n, 0), system_params()[:system_rows]),
        ProductClass(1, 1, lambda n: dotted(1, n, 0), network_params()[:network_rows]),
        # Login ID and password are recognised by their addresses 2.<instance>.1 and .2.
        ProductClass(2, 1, lambda n: dotted(2, 0, n), security_params()),
    ]
    if diagnostics:
        classes.append(ProductClass(3, 1, lambda n: dotted(3, n, 0), diagnostics_params(ports)))
    port_class = len(classes)
    classes.append(ProductClass(port_class, ports, lambda n, k=port_class: dotted(k, n, 0),
                                port_params(port_class_text, port_rows)))
    return classes


PRODUCTS = [
    Product("Vela1", "07", "1.2", standard_classes("Serial/Port_[inst]", 1, 17), "2019-04"),
    Product("Vela4", "23", "2.5",
            standard_classes("Port_[inst]/Serial", 4, 30, system_rows=13), "2021-09"),
    Product("Lyra2", "55", "1.0",
            standard_classes("Port_[inst]/Serial", 2, 31, system_rows=13), "2020-02"),
    Product("Orion16", "61", "3.10",
            standard_classes("Port_[inst]/Serial", 16, 36, diagnostics=True), "2023-11"),
]

# Products known to prodid.ini whose description file is deliberately absent.
PRODUCTS_WITHOUT_DESCRIPTION = [("Vela8", "12"), ("Orion32", "74")]

# Planned simulator units: MAC, name, product, credentials; in_log False = not in pwd.ini.
UNITS = [
    ("02:4D:56:00:00:01", "vela1-dock", "Vela1", "admin", "quorvane", True),
    ("02:4D:56:00:00:02", "vela1-lab", "Vela1", "admin", "quorvane", True),
    ("02:4D:56:00:00:03", "vela4-line-a", "Vela4", "admin", "quorvane", True),
    ("02:4D:56:00:00:04", "vela4-line-b", "Vela4", "field tech", "vela-4", True),
    ("02:4D:56:00:00:05", "lyra2-gate", "Lyra2", "operator", "lyra2pass", True),
    ("02:4D:56:00:00:06", "orion16-rack", "Orion16", "admin", "orion", True),
    ("02:4D:56:00:00:07", "vela8-spare", "Vela8", "admin", "quorvane", True),
    ("02:4D:56:00:00:08", "orion16-new", "Orion16", "admin", "quorvane", False),
]


# ---------------------------------------------------------------------------------------------
# Writers, in the exact layouts the tool reads
# ---------------------------------------------------------------------------------------------

def token(text):
    return "<none>" if text is None or text == "" else text


def class_rows(product):
    """(instances, first row, last row) of each class in use, from the consistency rule."""
    rows = []
    first = 0
    for cls in product.classes:
        last = first + len(cls.params) - 1
        rows.append((cls.instances, first, last))
        first += cls.instances * len(cls.params)
    return rows


def description_text(product):
    out = ["<version>\n", f"{product.name}\t", f"{product.version}\t", f"{product.released}\n"]
    out.append("<common>\n")
    table = class_rows(product)
    for line in range(MAX_CLASS_LINES):
        if line < len(table):
            instances, first, last = table[line]
        else:
            instances, first, last = 0, -1, -1
        out.append(f"Class \t{line} \tinstance = {instances} \tstart = {first} \tend = {last}\n")
    out.append("<parameters>\n")
    for cls in product.classes:
        for p in cls.params:
            fields = [cls.address_of(p.number), p.type_name, p.class_text, p.name, p.access,
                      str(p.size), token(p.unit)]
            out.extend(f"{token(f)}\t" for f in fields)
            out.append(f"{len(p.defined)}\t\n")
            if p.defined:
                out.append("\t===== Defined Values =====  \n")
                out.extend(f"\t[{value}]\t{name} \n" for value, name in p.defined)
            if p.type_name == "FLAG":
                out.append(f"\t===== Enumeration =====  size :\t {len(p.enumeration)}\n")
                out.extend(f"\t[{value:02d}]\t{name} \n" for value, name in p.enumeration)
    out.append("<END>\n")
    return "".join(out)


def prodid_text():
    records = [(p.name, p.product_id) for p in PRODUCTS] + PRODUCTS_WITHOUT_DESCRIPTION
    records.sort(key=lambda r: r[1])
    out = []
    for number, (name, product_id) in enumerate(records, start=1):
        out.append(f"\n[{number}]\nName : {name} \n")
        out.append(f"ID : {product_id}\n")
    return "".join(out)


def pwd_text():
    out = []
    number = 1
    for mac, _, _, login, password, in_log in UNITS:
        if not in_log:
            continue
        login = login.replace(" ", "-/space/-")
        password = password.replace(" ", "-/space/-")
        out.append(f"\n[{number}]\nMAC : {mac} \nID : {login} \nPassword : {password} \n")
        number += 1
    return "".join(out)


# ---------------------------------------------------------------------------------------------
# Independent check: read the written text back as tokens and verify it
# ---------------------------------------------------------------------------------------------

class Tokens:
    def __init__(self, text):
        self.items = text.split()
        self.pos = 0

    def next(self):
        assert self.pos < len(self.items), "unexpected end of file"
        self.pos += 1
        return self.items[self.pos - 1]

    def expect(self, *words):
        for word in words:
            got = self.next()
            assert got == word, f"expected {word!r}, found {got!r}"


def check_description(product, text):
    tokens = Tokens(text)
    assert all(len(t) <= MAX_TOKEN for t in tokens.items), "token too long"
    tokens.expect("<version>")
    for _ in range(3):
        tokens.next()
    tokens.expect("<common>")
    lines = []
    for _ in range(MAX_CLASS_LINES):
        tokens.expect("Class")
        tokens.next()
        tokens.expect("instance", "=")
        instances = int(tokens.next())
        tokens.expect("start", "=")
        first = int(tokens.next())
        tokens.expect("end", "=")
        last = int(tokens.next())
        lines.append((instances, first, last))
    in_use = []
    for line in lines:
        if line[2] == -1:
            break
        in_use.append(line)
    assert all(line[2] == -1 for line in lines[len(in_use):]), "class line in use after a gap"
    expected_first = 0
    for instances, first, last in in_use:
        assert instances >= 1, "class in use without instances"
        assert first == expected_first, f"class starts at {first}, expected {expected_first}"
        assert last >= first
        expected_first = first + instances * (last - first + 1)
    total_rows = expected_first
    assert total_rows <= MAX_ROWS, f"{total_rows} rows"

    tokens.expect("<parameters>")
    expanded = []  # (address, class text, type, size) after instance expansion
    for class_index, (instances, first, last) in enumerate(in_use):
        entries = []
        for _ in range(last - first + 1):
            fields = [tokens.next() for _ in range(7)]
            assert "<END>" not in fields, "<END> inside the parameter part"
            address, type_name, class_text, _, access, size, _ = fields
            count = int(tokens.next())
            assert 0 <= count <= MAX_LIST_ENTRIES
            if count:
                tokens.expect("=====", "Defined", "Values", "=====")
                for _ in range(count):
                    assert re.fullmatch(r"\[-?\d+\]", tokens.next())
                    tokens.next()
            if type_name == "FLAG":
                tokens.expect("=====", "Enumeration", "=====", "size", ":")
                size_of_enum = int(tokens.next())
                assert 1 <= size_of_enum <= MAX_LIST_ENTRIES
                for _ in range(size_of_enum):
                    assert re.fullmatch(r"\[(\d\d|-\d)\]", tokens.next()), "enumeration value"
                    tokens.next()
            type_text = type_name.replace("_", " ")
            size = int(size)
            if type_text in FIXED_WIDTH:
                assert size == FIXED_WIDTH[type_text], f"{address}: size {size} for {type_text}"
            elif type_text == "FLAG":
                assert size in (1, 2, 4)
            elif type_text in TEXT_TYPES:
                assert size > 0
            assert access in ("R/W", "R/O", "HIDDEN") or access not in ("", "<none>")
            entries.append((address, class_text.replace("_", " "), type_text, size))
        for instance in range(1, instances + 1):
            for address, class_text, type_text, size in entries:
                expanded.append((address.replace(".0", f".{instance}"),
                                 class_text.replace("[inst]", str(instance)), type_text, size))
    tokens.expect("<END>")
    assert tokens.pos == len(tokens.items), "text after <END>"
    assert len(expanded) == total_rows, f"{len(expanded)} rows, table says {total_rows}"

    addresses = [a for a, _, _, _ in expanded]
    assert len(set(addresses)) == len(addresses), "duplicate address after expansion"
    for address in addresses:
        parts = address.split(".")
        assert all(p.isdigit() and 0 <= int(p) <= 255 for p in parts), address
        assert not any(p.startswith("0") and p != "0" for p in parts), address
        if address.startswith("2."):
            assert address in ("2.1.1", "2.1.2"), f"stray login-like address {address}"
    assert "2.1.1" in addresses and "2.1.2" in addresses, "login parameters missing"
    return expanded, in_use


def group_names(expanded):
    """Group names in row order, each port instance taken as its own group."""
    groups = []
    current = ""
    for _, class_text, _, _ in expanded:
        if current == "" or current not in class_text:
            slash = class_text.find("/", 1)
            current = class_text if slash < 0 else class_text[:slash]
            groups.append(current)
    return groups


def read_request_chunks(rows, login="admin", password="quorvane"):
    """Number of ReadRequests a class group of 3-component addresses takes (short header)."""
    header = 4 + 1 + len(login) + 1 + len(password) + 2 + 2 + 1
    chunks, size = 1, header
    for index in range(rows):
        size += 1 + 3 + 2
        if size > READ_CHUNK_LIMIT and index + 1 < rows:
            chunks, size = chunks + 1, header
    return chunks


def check_database(text, fields, layout_words):
    tokens = Tokens(text)
    count = 0
    while tokens.pos < len(tokens.items):
        assert re.fullmatch(r"\[\d+\]", tokens.next())
        for word in layout_words:
            tokens.expect(word, ":")
            assert 0 < len(tokens.next()) <= MAX_DB_TOKEN
        count += 1
    assert count == fields
    return count


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "demo")
    os.makedirs(out_dir, exist_ok=True)

    files = {}
    type_names = set()
    access_words = set()
    for product in PRODUCTS:
        text = description_text(product)
        expanded, in_use = check_description(product, text)
        type_names.update(t for _, _, t, _ in expanded)
        access_words.update(p.access for c in product.classes for p in c.params)
        print(f"{product.file_name}: id {product.product_id}, "
              f"{'big' if product.big_endian else 'little'}-endian, {len(expanded)} rows, "
              f"{len(in_use)} classes, groups: {', '.join(group_names(expanded))}")
        files[product.file_name] = text

    orion = next(p for p in PRODUCTS if p.name == "Orion16")
    orion_rows, _ = check_description(orion, files[orion.file_name])
    assert len(orion_rows) == MAX_ROWS
    diagnostics = sum(1 for r in orion_rows if r[1].startswith("Diagnostics"))
    assert read_request_chunks(diagnostics) == 2, "Diagnostics must take two read requests"
    assert read_request_chunks(36) == 1
    assert not [p for p in PRODUCTS if p.name == "Vela1"][0].big_endian
    assert {p.big_endian for p in PRODUCTS} == {True, False}

    wanted_types = set(FIXED_WIDTH) | TEXT_TYPES | POINTER_TYPES | {"FLAG"}
    assert wanted_types <= type_names, wanted_types - type_names
    assert type_names - wanted_types, "no row of an unknown type"
    assert {"R/W", "R/O", "HIDDEN"} <= access_words and access_words - {"R/W", "R/O", "HIDDEN"}

    files["prodid.ini"] = prodid_text()
    check_database(files["prodid.ini"], len(PRODUCTS) + len(PRODUCTS_WITHOUT_DESCRIPTION),
                   ["Name", "ID"])
    files["pwd.ini"] = pwd_text()
    check_database(files["pwd.ini"], sum(1 for u in UNITS if u[5]), ["MAC", "ID", "Password"])

    for name, text in files.items():
        with open(os.path.join(out_dir, name), "w", encoding="ascii", newline="\n") as f:
            f.write(text)
    print(f"wrote {len(files)} files to {os.path.normpath(out_dir)}")


if __name__ == "__main__":
    main()
