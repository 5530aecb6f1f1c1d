# SPDX-License-Identifier: MIT
"""The line settings kq7 gives a port, read back from a pseudo-terminal."""
import os
import select
import subprocess
import termios

from conftest import KQ7

# Index of the fields in termios.tcgetattr's list.
IFLAG, OFLAG, CFLAG, LFLAG, ISPEED, OSPEED = range(6)


def test_port_is_raw_8n1_at_the_chosen_rate(pty):
    master, slave = pty
    # A cooked line with echo and parity, at another rate: kq7 must
    # change all of it.
    attrs = termios.tcgetattr(slave)
    attrs[LFLAG] |= termios.ICANON | termios.ECHO | termios.ISIG
    attrs[CFLAG] |= termios.PARENB | termios.CSTOPB
    attrs[ISPEED] = attrs[OSPEED] = termios.B1200
    termios.tcsetattr(slave, termios.TCSANOW, attrs)

    kq7 = subprocess.Popen([KQ7, "--port", os.ttyname(slave), "--baud", "57600", "-q", "info"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # Its first request comes once the port is set up.
        assert select.select([master], [], [], 5)[0], "kq7 sent no request"
        assert os.read(master, 64).startswith(b"\x55\xaa")
    finally:
        kq7.kill()
        kq7.wait()

    iflag, oflag, cflag, lflag, ispeed, ospeed, _ = termios.tcgetattr(slave)
    assert lflag & (termios.ICANON | termios.ECHO | termios.ISIG | termios.IEXTEN) == 0
    assert iflag & (termios.ICRNL | termios.IXON | termios.ISTRIP | termios.INLCR) == 0
    assert oflag & termios.OPOST == 0
    assert cflag & (termios.CSIZE | termios.PARENB | termios.CSTOPB) == termios.CS8
    assert cflag & termios.CLOCAL and cflag & termios.CREAD
    assert ispeed == ospeed == termios.B57600
