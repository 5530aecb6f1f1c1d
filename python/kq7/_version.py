# SPDX-License-Identifier: MIT
VERSION = "1.2.0"
