// Result of every device-link operation.
#pragma once

#include <cstdint>

enum DeviceStatus : uint8_t {
    DeviceSuccess = 0,
    DeviceNotFound = 1,
    DeviceNotOpen = 2,
    DeviceOpenFailed = 3,       // open failed, or this object already holds a device
    DeviceTransferFailed = 4,   // for a read: no data within the timeout
    DeviceReadFailed = 5,       // read failed, or the adapter refused a handshake
    DeviceNullArgument = 6,
    DeviceAlreadyConnected = 7,
    DeviceBadBuffer = 8,        // bad buffer or report count
    DeviceWrongAdapter = 9,     // the adapter at that index is not the one the list showed
};
