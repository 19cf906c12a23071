#pragma once
// The game reads keys, never text, yet the X libraries open an input method for every display
// connection, and the input method reads the locale's whole compose table: about 9 ms and half
// a megabyte each time. While one of these lives, an input method opened reads an empty table.
#include "presentation/environment.hpp"

namespace pellow::modDX {

class WithoutComposeTable {
public:
    WithoutComposeTable() = default;
    WithoutComposeTable(const WithoutComposeTable&) = delete;
    WithoutComposeTable& operator=(const WithoutComposeTable&) = delete;

private:
    WithStandIn emptyTable_{Variable::ComposeTable};
};

}  // namespace pellow::modDX
