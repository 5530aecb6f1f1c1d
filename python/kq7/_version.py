# SPDX-License-Identifier: MIT
VERSION = "1.1.0"
