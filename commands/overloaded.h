#pragma once

namespace kx::commands {

// One visitor from several lambdas, one per alternative of a variant.
template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace kx::commands
