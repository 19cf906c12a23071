#pragma once
// Card picture names, shared with the pack builder.
#include <string>

namespace pellow {

// The picture file of a card inside its deck's folder: "AC.BMP", "10D.BMP", "KS.BMP".
std::string CardFileName(int code);

}  // namespace pellow
