#pragma once
// Tells the main loop to stop when the user interrupts the player (SIGINT, SIGTERM, Ctrl+C) or,
// when asked, when its standard input ends.

#include <memory>

#include "standin/player/main_loop.h"

namespace standin {

class stop_watch {
  public:
    stop_watch(main_loop& loop, bool watch_stdin);
    ~stop_watch();  // restores the previous handlers and ends its thread
    stop_watch(const stop_watch&) = delete;
    stop_watch& operator=(const stop_watch&) = delete;

  private:
    struct state;
    std::unique_ptr<state> state_;
};

}  // namespace standin
