// The failure a host member reports to the page: it becomes a script error with this message.
#pragma once

#include <string>
#include <utility>

namespace pagehost {

struct HostError {
    explicit HostError(std::wstring text) : message(std::move(text)) {}
    std::wstring message;
};

}  // namespace pagehost
