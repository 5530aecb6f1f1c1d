# SPDX-License-Identifier: MIT
"""The one exception that the kq7 package raises for a failed sensor operation."""


class SensorError(Exception):
    """The sensor did not identify, capture, search or store as asked."""
