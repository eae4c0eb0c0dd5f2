#pragma once
// Shows the wait cursor for the lifetime of the guard. Guards nest: each one
// pushes and pops one entry of the application's override-cursor stack, so the
// cursor returns on every path out of a command, exceptions included.

namespace corvessa {

class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace corvessa
