#pragma once
// The makers of the drivers behind the ASIO shape, for CreateAsioDriver.
#include <memory>

#include "platform/asio_driver.h"

namespace platform {

std::unique_ptr<AsioDriver> MakeJackAsioDriver();
std::unique_ptr<AsioDriver> MakeSimulatedAsioDriver();

}  // namespace platform
