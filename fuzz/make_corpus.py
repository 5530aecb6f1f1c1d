#!/usr/bin/python3
"""Writes the seed corpus of the fuzz targets: valid frames, and for the
exchange and export targets inputs laid out the way their FuzzedDataProvider
reads them, so that fuzzing starts from complete, accepted replies.

Run from anywhere: /usr/bin/python3 fuzz/make_corpus.py
"""
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

CMD_GET_IDENT, CMD_SET_SHUTTER, CMD_SHUTTER_OPEN = 0x50, 0x51, 0x56
CMD_GET_BANDNUMBER, CMD_SET_COEFF, CMD_GET_COEFF, CMD_GET_DATA = 0x57, 0x58, 0x59, 0x61
REPLY_BUSY = 0x40


def crc16(data):
    """CRC-16/KERMIT: reflected 0x1021, initial 0, no final XOR."""
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return crc


def frame(command, payload=b"", crc=None):
    """Header, command, big-endian length, payload, big-endian CRC."""
    crc = crc16(payload) if crc is None else crc
    return bytes([0x55, 0xAA, command]) + struct.pack(">H", len(payload)) + payload + struct.pack(">H", crc)


class Input:
    """Builds an input for FuzzedDataProvider: numbers are consumed from the
    end (the last byte is the most significant), byte strings from the
    front."""

    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order consumed

    def number(self, value, size, lowest=0):
        """A number drawn from [lowest, ...] with `size` bytes."""
        self.back += (value - lowest).to_bytes(size, "big")
        return self

    def int32(self, value):
        """A number drawn from the whole int32 range."""
        return self.number(value, 4, lowest=-(2**31))

    def data(self, raw):
        self.front += raw
        return self

    def build(self):
        return bytes(self.front) + bytes(reversed(self.back))


def exchange_input(call, command, argument, stream, payload=b""):
    """A call of the exchange target; the line delivers `stream` in reads as
    large as the receive asks for (first 2, then the rest of the header,
    then 10 at a time)."""
    seed = Input().number(call, 1).number(command, 1)
    for add in argument:
        add(seed)
    seed.data(payload).data(stream)
    held, reads = 0, 0
    for wanted in [2, 3] + [10] * len(stream):
        if held >= len(stream):
            break
        held += min(wanted, len(stream) - held)
        reads += 1
    # A few to spare: resynchronising on stray bytes takes extra reads, and
    # whatever is left of the input after the frame is read as trailing bytes.
    for _ in range(reads + 4):
        seed.number(0x000F, 2)  # up to 15 bytes, no time passes
    return seed.build()


def spectrum(bands):
    return b"".join(struct.pack("<H", (i * 97) % 60000) for i in range(bands))


def export_answer(seed, payload):
    """A well-formed answer delivered as fast as asked."""
    seed.number(1, 1).number(len(payload), 2).data(payload[:64])


def write(target, name, content):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(content)


def main():
    ident = frame(CMD_GET_IDENT, b"KQ7-A1234-rev2")
    write("codec", "ident", ident)
    write("codec", "bandnumber", frame(CMD_GET_BANDNUMBER, struct.pack(">i", 512)))
    write("codec", "coefficients", frame(CMD_GET_COEFF, struct.pack(">4d", 1e-9, -2e-5, 0.6, 330.0)))
    write("codec", "wildcard_crc", frame(CMD_GET_DATA, spectrum(8), crc=0xEEEE))
    write("codec", "stray_then_busy", b"\x00\xff" + frame(REPLY_BUSY))

    # Calls: 0 receive, 1 timed receive, 2 query, 3 command, 4 acquire.
    write("exchanges", "query_ident", exchange_input(2, CMD_GET_IDENT, [], ident))
    write("exchanges", "command_shutter",
          exchange_input(3, CMD_SET_SHUTTER, [lambda s: s.number(4, 2)], frame(CMD_SET_SHUTTER), payload=struct.pack(">i", 100)))
    write("exchanges", "acquire_busy_then_spectrum",
          exchange_input(4, 0, [lambda s: s.int32(100)], frame(REPLY_BUSY) + frame(CMD_GET_DATA, spectrum(16))))
    write("exchanges", "timed_receive_stray",
          exchange_input(1, CMD_GET_BANDNUMBER, [lambda s: s.number(1000, 4)], b"\x00\xff" + frame(CMD_GET_BANDNUMBER, b"\0\0\2\0")))

    # Calls: 0 init, 1 info, 2 shutter, 3 capture, 4 auto exposure, 5 coefficients.
    bands = 64
    seed = Input().number(0, 1)
    export_answer(seed, b"KQ7-A1234-rev2")
    export_answer(seed, struct.pack(">i", bands))
    export_answer(seed, struct.pack(">4d", 1e-9, -2e-5, 0.6, 330.0))
    write("exports", "init", seed.build())

    seed.number(3, 1).int32(100)
    export_answer(seed, b"")
    export_answer(seed, spectrum(bands))
    write("exports", "init_capture", seed.build())

    seed.number(4, 1).int32(80)
    for _ in range(3):
        export_answer(seed, b"")
        export_answer(seed, spectrum(bands))
    seed.number(5, 1).number(4, 1, lowest=-1)
    for value in (1e-9, -2e-5, 0.6, 330.0):
        seed.number(struct.unpack("<Q", struct.pack("<d", value))[0], 8)
    export_answer(seed, b"")
    write("exports", "init_capture_auto_coefficients", seed.build())

    # Calls 6 to 11: the same on a device of the device interface; 9 is a
    # capture with the capacity (-1 to 2048) before the shutter value.
    seed = Input().number(6, 1)
    export_answer(seed, b"KQ7-A1234-rev2")
    export_answer(seed, struct.pack(">i", bands))
    export_answer(seed, struct.pack(">4d", 1e-9, -2e-5, 0.6, 330.0))
    seed.number(9, 1).number(bands, 2, lowest=-1).int32(100)
    export_answer(seed, b"")
    export_answer(seed, spectrum(bands))
    write("exports", "device_identify_capture", seed.build())

    # kq7 serve: "PORT" stands for the port the target's server is bound to.
    token = "0123456789abcdef0123456789abcdef"
    page = "Host: 127.0.0.1:PORT\r\nOrigin: http://127.0.0.1:PORT\r\nX-KQ7-Token: " + token + "\r\n"
    form = "Content-Type: application/x-www-form-urlencoded\r\n"
    for name, request in [
        ("get_page", "GET / HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n\r\n"),
        ("ranges", "GET /uPlot.min.js HTTP/1.1\r\nHost: localhost:PORT\r\nRange: bytes=0-,10-99,-30000\r\n\r\n"),
        ("settings", "POST /settings HTTP/1.1\r\n" + page + form + "Content-Length: 27\r\n\r\nshutter=200&average=2&x=%41"),
        ("exposure_then_dark", "POST /exposure HTTP/1.1\r\n" + page + form + "Content-Length: 10\r\n\r\npercent=80"
         + "POST /dark HTTP/1.1\r\n" + page + "\r\n"),
        ("events_csv", "GET /events HTTP/1.1\r\nHost: [::1]:PORT\r\n\r\nGET /spectrum.csv HTTP/1.1\r\nHost: localhost:PORT\r\n\r\n"),
        ("chunked_post", "POST /settings HTTP/1.1\r\n" + page + form + "Transfer-Encoding: chunked\r\n\r\n"
         + "c\r\npaused=false\r\n0\r\n\r\n"),
    ]:
        write("http", name, request.encode())


if __name__ == "__main__":
    main()
