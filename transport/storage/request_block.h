#pragma once
// A variant's request record kept in one of the link's 80-byte blocks.
#include <cstring>
#include <type_traits>

#include "transport/port/port_state.h"

namespace pelox {

template <typename Request>
Request LoadRequest(const RequestBlock& block) {
  static_assert(std::is_trivially_copyable_v<Request> && sizeof(Request) <= REQUEST_BLOCK_SIZE);
  Request request;
  std::memcpy(&request, block.data(), sizeof request);
  return request;
}

template <typename Request>
void StoreRequest(const Request& request, RequestBlock& block) {
  static_assert(std::is_trivially_copyable_v<Request> && sizeof(Request) <= REQUEST_BLOCK_SIZE);
  std::memcpy(block.data(), &request, sizeof request);
}

}  // namespace pelox
