#pragma once
// The engine's clock and message services on this platform.
#include <cstdint>
#include <string>

#include "engine/services.hpp"

namespace pellow::modDX {

// Milliseconds since the platform layer started.
class DXTickClock final : public TickClock {
public:
    std::uint32_t TickCount() override;
};

// A message box with an OK button (when there is a display) and the text on stderr.
class DXMessageRequests final : public MessageRequests {
public:
    void ShowMessage(const std::string& text) override;
};

}  // namespace pellow::modDX
