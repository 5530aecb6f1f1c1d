/* SPDX-License-Identifier: MIT */
// The serial port on Windows (COMn), with the behaviour of the POSIX one:
// raw 8N1 at the chosen rate, pending bytes discarded on open, and reads
// that wait a few milliseconds for bytes rather than spin.
#include <windows.h>

#include <algorithm>
#include <string>

#include "kq7/failure.h"
#include "kq7/port/serial_port.h"

namespace kq7tool {

namespace {

constexpr DWORD kReadWaitMs = 5;
// A read returns once the line has been quiet this long after a byte: the
// rest of a reply comes without a gap, so the library gets it in one piece.
constexpr DWORD kQuietLineMs = 1;
// Ports from COM10 on are reachable only through the device namespace, and
// every port is reachable through it.
constexpr wchar_t kDeviceNamespace[] = L"\\\\.\\";

// The rates --baud takes: those of the POSIX port, so that a command line
// means the same on both. The driver may still refuse one; the open then
// says so.
constexpr int kBaudRates[] = {1200,   2400,   4800,   9600,   19200,   38400,   57600,   115200,
                              230400, 460800, 921600, 1000000, 2000000, 3000000, 4000000};

std::string ErrorText(DWORD error) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, std::min<size_t>(length, sizeof text));
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::string LastErrorText() { return ErrorText(GetLastError()); }

// The reason an open failed, with a hint on its usual cause.
std::string OpenFailure(const std::string& path, DWORD error) {
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        return "port " + path + " in use by another program (close it: a COM port serves one program at a time)";
    }
    std::string message = "cannot open port " + path + ": " + ErrorText(error);
    if (error == ERROR_FILE_NOT_FOUND) {
        message += " (no such port: is the adapter plugged in? Device Manager lists the ports under "
                   "Ports (COM & LPT))";
    }
    return message;
}

std::wstring DevicePath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
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

[[noreturn]] void Fail(HANDLE port, const std::string& message, PortOpenError reason = PortOpenError::Other) {
    CloseHandle(port);
    throw PortOpenFailure(reason, message);
}

PortOpenError OpenErrorKind(DWORD error) {
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        return PortOpenError::InUse;
    }
    return error == ERROR_FILE_NOT_FOUND ? PortOpenError::Missing : PortOpenError::Other;
}

}  // namespace

std::vector<int> SupportedBaudRates() { return {std::begin(kBaudRates), std::end(kBaudRates)}; }

SerialPort::SerialPort(const std::string& path, int baud) {
    // No sharing: a second program's open fails, and so does ours while
    // another program holds the port.
    const HANDLE port =
        CreateFileW(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw PortOpenFailure(OpenErrorKind(error), OpenFailure(path, error));
    }
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!GetCommState(port, &settings)) {
        Fail(port, "not a serial port: " + path + ": " + LastErrorText(), PortOpenError::NotASerialPort);
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
    handle_ = port;
}

SerialPort::~SerialPort() { CloseHandle(static_cast<HANDLE>(handle_)); }

int64_t SerialPort::Write(const uint8_t* data, int64_t length) {
    int64_t written = 0;
    while (written < length) {
        const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(length - written, MAXDWORD));
        DWORD n = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), data + written, chunk, &n, nullptr)) {
            error_ = LastErrorText();
            return -1;
        }
        written += n;
    }
    return written;
}

int64_t SerialPort::Read(uint8_t* dest, int64_t maxLength) {
    if (maxLength <= 0) {
        return 0;
    }
    const DWORD wanted = static_cast<DWORD>(std::min<int64_t>(maxLength, MAXDWORD));
    DWORD n = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), dest, wanted, &n, nullptr)) {
        // An unplugged adapter: nothing will come any more.
        error_ = LastErrorText();
        return -1;
    }
    return n;
}

}  // namespace kq7tool
