#include "presentation/load_error.hpp"

#include <string>
#include <utility>

namespace pellow::modDX {

LoadError::LoadError(std::string procedure, long number, const std::string& description)
    : FatalError("Error in function " + procedure + "() \nError Number: " + std::to_string(number) + "\n" +
                 description),
      procedure_(std::move(procedure)),
      number_(number) {}

}  // namespace pellow::modDX
