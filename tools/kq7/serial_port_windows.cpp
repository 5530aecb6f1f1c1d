/* SPDX-License-Identifier: MIT */
// The serial port on Windows (COMn), with the behaviour of the POSIX one:
// raw 8N1 at the chosen rate, pending bytes discarded on open, and reads
// that wait a few milliseconds for bytes rather than spin.
#include <windows.h>

#include <algorithm>
#include <string>

#include "kq7/failure.h"
#include "kq7/serial_port.h"

namespace kq7tool {

namespace {

constexpr DWORD kReadWaitMs = 5;
// A read returns once the line has been quiet this long after a byte: the
// rest of a reply comes without a gap, so the library gets it in one piece.
constexpr DWORD kQuietLineMs = 1;
// Ports from COM10 on are reachable only through the device namespace, and
// every port is reachable through it.
constexpr wchar_t kDeviceNamespace[] = L"\\\\.\\";

HANDLE g_port = INVALID_HANDLE_VALUE;

std::string LastErrorText() {
    const DWORD error = GetLastError();
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::wstring DevicePath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide.rfind(kDeviceNamespace, 0) == 0 ? wide : kDeviceNamespace + wide;
}

// Raw 8N1, no flow control, no character translation; DTR and RTS held on as
// a terminal program holds them.
void MakeRaw8N1(DCB& settings, int baud) {
    settings.BaudRate = static_cast<DWORD>(baud);
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fErrorChar = FALSE;
    settings.fNull = FALSE;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.fAbortOnError = FALSE;
}

[[noreturn]] void Fail(HANDLE port, const std::string& message) {
    CloseHandle(port);
    throw Failure(kExitPortError, message);
}

}  // namespace

void OpenSerialPort(const std::string& path, int baud) {
    // No sharing: a COM port is exclusive by nature; this says so at once.
    const HANDLE port =
        CreateFileW(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        throw Failure(kExitPortError, "cannot open port " + path + ": " + LastErrorText());
    }
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!GetCommState(port, &settings)) {
        Fail(port, "not a serial port: " + path + ": " + LastErrorText());
    }
    MakeRaw8N1(settings, baud);
    // The first byte may take up to kReadWaitMs; then the read ends when the
    // line goes quiet or the buffer is full. Writes block until done.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kQuietLineMs;
    timeouts.ReadTotalTimeoutConstant = kReadWaitMs;
    if (!SetCommState(port, &settings) || !SetCommTimeouts(port, &timeouts)) {
        Fail(port, "cannot configure port " + path + ": " + LastErrorText());
    }
    // A driver may round the rate or refuse part of the settings quietly.
    DCB applied{};
    applied.DCBlength = sizeof applied;
    if (!GetCommState(port, &applied) || applied.BaudRate != static_cast<DWORD>(baud) || applied.ByteSize != 8 ||
        applied.Parity != NOPARITY || applied.StopBits != ONESTOPBIT) {
        Fail(port, "port " + path + " does not take " + std::to_string(baud) + " baud 8N1");
    }
    PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    if (g_port != INVALID_HANDLE_VALUE) {
        CloseHandle(g_port);
    }
    g_port = port;
}

int64_t KQ7_CALL SerialPortWrite(const uint8_t* data, int64_t length) {
    int64_t written = 0;
    while (written < length) {
        const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(length - written, MAXDWORD));
        DWORD n = 0;
        if (!WriteFile(g_port, data + written, chunk, &n, nullptr)) {
            return -1;
        }
        written += n;
    }
    return written;
}

int64_t KQ7_CALL SerialPortRead(uint8_t* dest, int64_t maxLength) {
    if (maxLength <= 0) {
        return 0;
    }
    const DWORD wanted = static_cast<DWORD>(std::min<int64_t>(maxLength, MAXDWORD));
    DWORD n = 0;
    if (ReadFile(g_port, dest, wanted, &n, nullptr)) {
        return n;
    }
    // Unplugged or failed: nothing will come, but the library keeps asking
    // until its time limit; do not spin meanwhile.
    Sleep(kReadWaitMs);
    return 0;
}

}  // namespace kq7tool
