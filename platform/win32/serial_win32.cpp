#include <windows.h>

#include "platform/serial.h"

namespace pelox {

struct SerialDevice {
  HANDLE handle;
  // The block the last GetCommState returned: setting the state applies the
  // portable members onto it and keeps every other member of the driver's.
  DCB dcb;
};

namespace {

uint32_t FlowFlags(const DCB& dcb) {
  uint32_t flags = 0;
  if (dcb.fOutxCtsFlow) flags |= DCB_OUTX_CTS_FLOW;
  if (dcb.fOutxDsrFlow) flags |= DCB_OUTX_DSR_FLOW;
  if (dcb.fOutX) flags |= DCB_OUTX;
  if (dcb.fInX) flags |= DCB_INX;
  return flags;
}

DWORD Length(size_t size) { return size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size); }

}  // namespace

SerialHandle SerialOpen(int32_t port) {
  if (port < 1 || port > 9) return nullptr;
  // "COM" and one digit.
  const char name[] = {'C', 'O', 'M', static_cast<char>('0' + port), '\0'};
  HANDLE handle =
      CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  auto* device = new SerialDevice{handle, DCB{}};
  device->dcb.DCBlength = sizeof(DCB);
  return device;
}

bool SerialGetState(SerialHandle device, CommSettings& settings) {
  if (device == nullptr) return false;
  device->dcb.DCBlength = sizeof(DCB);
  if (!GetCommState(device->handle, &device->dcb)) return false;
  settings.BaudRate = device->dcb.BaudRate;
  settings.ByteSize = device->dcb.ByteSize;
  settings.Parity = device->dcb.Parity;
  settings.StopBits = device->dcb.StopBits;
  settings.flags = FlowFlags(device->dcb);
  return true;
}

bool SerialSetState(SerialHandle device, const CommSettings& settings) {
  if (device == nullptr) return false;
  DCB dcb = device->dcb;
  dcb.BaudRate = settings.BaudRate;
  dcb.ByteSize = settings.ByteSize;
  dcb.Parity = settings.Parity;
  dcb.StopBits = settings.StopBits;
  dcb.fOutxCtsFlow = (settings.flags & DCB_OUTX_CTS_FLOW) != 0;
  dcb.fOutxDsrFlow = (settings.flags & DCB_OUTX_DSR_FLOW) != 0;
  dcb.fOutX = (settings.flags & DCB_OUTX) != 0;
  dcb.fInX = (settings.flags & DCB_INX) != 0;
  if (!SetCommState(device->handle, &dcb)) return false;
  device->dcb = dcb;
  return true;
}

bool SerialGetTimeouts(SerialHandle device, CommTimeouts& timeouts) {
  COMMTIMEOUTS native{};
  if (device == nullptr || !GetCommTimeouts(device->handle, &native)) return false;
  timeouts.ReadIntervalTimeout = native.ReadIntervalTimeout;
  timeouts.ReadTotalTimeoutMultiplier = native.ReadTotalTimeoutMultiplier;
  timeouts.ReadTotalTimeoutConstant = native.ReadTotalTimeoutConstant;
  timeouts.WriteTotalTimeoutMultiplier = native.WriteTotalTimeoutMultiplier;
  timeouts.WriteTotalTimeoutConstant = native.WriteTotalTimeoutConstant;
  return true;
}

bool SerialSetTimeouts(SerialHandle device, const CommTimeouts& timeouts) {
  if (device == nullptr) return false;
  COMMTIMEOUTS native{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                      timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                      timeouts.WriteTotalTimeoutConstant};
  return SetCommTimeouts(device->handle, &native) != 0;
}

bool SerialSetupQueues(SerialHandle device, uint32_t in_queue, uint32_t out_queue) {
  return device != nullptr && SetupComm(device->handle, in_queue, out_queue) != 0;
}

bool SerialRead(SerialHandle device, std::span<uint8_t> buffer, uint32_t& received) {
  received = 0;
  DWORD count = 0;
  if (device == nullptr ||
      !ReadFile(device->handle, buffer.data(), Length(buffer.size()), &count, nullptr)) {
    return false;
  }
  received = count;
  return true;
}

bool SerialWrite(SerialHandle device, std::span<const uint8_t> data, uint32_t& written) {
  written = 0;
  DWORD count = 0;
  if (device == nullptr ||
      !WriteFile(device->handle, data.data(), Length(data.size()), &count, nullptr)) {
    return false;
  }
  written = count;
  return true;
}

bool SerialFlush(SerialHandle device) {
  return device != nullptr && FlushFileBuffers(device->handle) != 0;
}

bool SerialClose(SerialHandle device) {
  if (device == nullptr) return false;
  const bool closed = CloseHandle(device->handle) != 0;
  delete device;
  return closed;
}

}  // namespace pelox
