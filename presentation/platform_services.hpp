#pragma once
// The engine's clock on this platform.
#include <cstdint>

#include "engine/services.hpp"

namespace pellow::modDX {

// Milliseconds since the platform layer started.
class DXTickClock final : public TickClock {
public:
    std::uint32_t TickCount() override;
};

}  // namespace pellow::modDX
